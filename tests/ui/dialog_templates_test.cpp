// The compiled dialog templates.
#include <gtest/gtest.h>
