// The line-oriented text form of a movie, for reading, diffing and hand-editing:
//
//   movie 0x00000000 250     header word 0 (hex) and frame count
//   frame                    starts a frame
//   shape 0xff332211         starts a shape of that colour
//   path                     starts a path of the current shape
//   move 20 30               one command per line: nop move line quad cubic arc close,
//   word 0x00000007          or a bare word (an end code and everything after it)
//
// Operands are floats in shortest round-trip decimal, or 0x followed by the exact bits
// where no decimal gives them back (NaN, infinities). '#' starts a comment line.
// Decoding and encoding again gives the same words.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

#include "movie/MoviePlayer.h"

// Text of one operand word.
std::string formatOperand(uint32_t word);
// Reads one operand token; false when it is neither a float nor 0x-hex bits.
bool parseOperand(std::string_view token, uint32_t& word);

// Writes the text form of movieFile (a path on disk). False with a message when the file
// cannot be read or is damaged; everything read up to the damage has been written.
bool decodeMovie(const std::string& movieFile, std::ostream& out, std::string& error);
// Where encodeMovie reads and writes: the text's name for messages, the file the movie
// bytes go to, and the name messages give that file.
struct EncodeFiles {
    std::string textName;
    std::string outputFile;
    std::string movieName;
};
// Reads the text form and writes a gzip movie. False with a message (naming the line)
// when the text is malformed, when a frame passes a bound the player would refuse it for
// (FrameBudget), when the header promises more frames than the text holds, or when the
// file cannot be written. Lines are read one at a time and never held past the length a
// record can have.
bool encodeMovie(std::istream& in, const EncodeFiles& files, std::string& error);
