#include "dib.h"
