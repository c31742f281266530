// The program under faults and load.
#include <gtest/gtest.h>
