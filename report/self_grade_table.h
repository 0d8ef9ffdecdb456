// The decimal texts of the self-grade form (GenerateSelfGradeTable): sums and remaining scores
// printed with six decimals, then shortened.
//
// Thread-safety: stateless functions.
#pragma once

#include <string>

// Removes the trailing zeros of a decimal text's fraction and, when nothing of the fraction
// remains, the decimal point: "2.500000" becomes "2.5", "10.000000" "10", "1.050000" "1.05".
// A text without a point, or shorter than two characters, is left as it is, and so is one that
// does not end in a zero ("1.000001").
void TrimDecimalZeros(std::u16string& text);
