// A header of the folder "upper/testing" in the sample tree of the folder cycle check: only its
// include counts. Thread-safety: no code.
#pragma once
#include "top/top.h"
