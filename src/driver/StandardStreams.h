// The three standard file descriptors, made sure of before anything else opens a file.
// A process started with one of them closed would otherwise hand that number to the next
// file it opens (a data file, the sound device, a tool's output), and the messages meant
// for the user would go there. Every program calls it first.
#pragma once

// A closed standard output becomes a copy of standard error, so that the show's one line
// still reaches the user; a closed standard input or error is opened on /dev/null.
void keepStandardStreams();
