// The kernel's truth value.
#pragma once

typedef int boolean_t;
