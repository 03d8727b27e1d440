#include "sdk/host_table.h"
