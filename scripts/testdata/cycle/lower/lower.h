// A header of the folder "lower" in the sample tree of the folder cycle check: only its
// include counts. Thread-safety: no code.
#pragma once
#include "upper/upper.h"
