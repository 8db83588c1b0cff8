// The content builder's top level: one writer per kind of file.
#include "Content.h"

#include "Fonts.h"
#include "MovieOutput.h"
#include "Movies.h"
#include "Music.h"
#include "XmWriter.h"

void writeMusic(const std::string& dir) {
    writeFileBytes(dir + "/music.xm", writeXm(composeMusic()));
}

void writeMovies(const std::string& dir) {
    const Fonts fonts;
    writePresents(dir + "/presents.mvz.gz", fonts);
    writeTavo(dir + "/tavo01.mvz.gz");
    writeMain(dir + "/main02.mvz.gz", fonts);
}

void writeAllContent(const std::string& dir) {
    // The show needs the files of one run: none is put in place until all are written.
    HeldFiles held;
    writeMusic(dir);
    writeMovies(dir);
    writePictures(dir);
    held.placeAll();
}
