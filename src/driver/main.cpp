// The show's entry point: the real window, music and movie files, paced by the music.
// No command line and no configuration are read; data comes from the working directory.
#include "driver/MusicClock.h"
#include "driver/Show.h"
#include "driver/WallClock.h"
#include "platform/ConsoleDisplay.h"
#include "platform/LibraryMusic.h"
#include "platform/ModuleLibrary.h"
#include "platform/StandardStreams.h"

int main() {
    keepStandardStreams();
    ModuleLibrary library;
    LibraryMusic music(library);
    ConsoleDisplay display;
    SteadyWallClock wall;
    MusicClock clock(music, wall);
    PlayerMovieSource movies;
    Show show(display, music, clock, movies);
    return show.run();
}
