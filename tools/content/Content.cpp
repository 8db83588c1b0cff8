// The content builder's top level: one writer per kind of file.
#include "Content.h"

#include "Music.h"
#include "XmWriter.h"

void writeMusic(const std::string& dir) { saveXm(composeMusic(), dir + "/music.xm"); }

void writeAllContent(const std::string& dir) {
    writeMusic(dir);
    writeMovies(dir);
    writePictures(dir);
}
