// A skin that reads the program context: up a layer.
#include "app/app_context.h"
