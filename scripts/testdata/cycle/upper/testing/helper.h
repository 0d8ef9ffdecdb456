#pragma once
#include "top/top.h"
