#include "panelstate.h"

