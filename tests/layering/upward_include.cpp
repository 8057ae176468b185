// Built only by the layering test, which expects it not to compile: the formats layer cannot see
// the headers of the editing layer above it.
#include "editing/poi_table.h"
