// The one naming of numbered frame files, for every tool that writes them: "frame", the
// frame's number in six digits or more, and the extension (frame000000.png). Six digits
// keep a folder listing in frame order up to a million frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// "frame000042.png" for number 42 and extension ".png".
std::string frameFileName(uint64_t number, const std::string& extension);

// Whether name is a frame file a tool may have written: "frame" + digits, or the older
// "frame_" + digits, then ".png" or ".raw". These are the only files removeOtherFrames
// ever removes.
bool isFrameFileName(const std::string& name);

// Removes the frame files in folder that are not among written (names, not paths), so
// that frames of an earlier, longer run do not pass for part of this one. Other files
// stay. False with a message naming the file and the reason; removed counts the files gone.
bool removeOtherFrames(const std::string& folder, std::vector<std::string> written,
                       uint32_t& removed, std::string& error);
