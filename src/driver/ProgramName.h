// The program's name as messages start with it ("tilsen: ..."): the name it was started
// under, without its folder (and on Windows without ".exe").
#pragma once

const char* programName();
