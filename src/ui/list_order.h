#pragma once

// The list order lives below the GUI, for every front end that lists nodes.
#include "model/list_order.h"
