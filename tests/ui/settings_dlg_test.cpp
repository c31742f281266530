// The settings dialog, driven for real.
#include <gtest/gtest.h>
