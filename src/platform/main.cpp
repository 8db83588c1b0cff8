// The show's entry point: the real window, music and movie files, paced by the music.
// Data comes from the working directory; the command line only chooses sharp drawing.
#include <iostream>

#include "driver/MusicClock.h"
#include "driver/Show.h"
#include "driver/ShowOptions.h"
#include "driver/StandardStreams.h"
#include "driver/WallClock.h"
#include "platform/ConsoleDisplay.h"
#include "platform/LibraryMusic.h"
#include "platform/ModuleLibrary.h"
#include "platform/System.h"

int main(int argc, char** argv) {
    keepStandardStreams();
    prepareSystem();
    ShowOptions options;
    const int32_t parsed = parseShowOptions(argc, argv, options, std::cout, std::cerr);
    if (parsed != kRunShow) {
        return parsed;
    }
    ModuleLibrary library;
    LibraryMusic music(library);
    ConsoleDisplay display(options.sharp);
    SteadyWallClock wall;
    MusicClock clock(music, wall);
    PlayerMovieSource movies;
    Show show(display, music, clock, movies);
    return show.run();
}
