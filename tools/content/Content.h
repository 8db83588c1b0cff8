// Writes the show's files into a directory: "music.xm", the three movies and the five
// raw pictures. Throws std::runtime_error when a file cannot be written; writeAllContent
// then leaves every older file as it was.
#pragma once

#include <string>

void writeMusic(const std::string& dir);
void writeMovies(const std::string& dir);
void writePictures(const std::string& dir);
void writeAllContent(const std::string& dir);
