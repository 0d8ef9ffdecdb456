#pragma once
#include "lower/lower.h"
