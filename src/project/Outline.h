#pragma once
// The topic outline: its file format and the positions of its topics in the
// view (depth-first, 1-based).
#include "editing/OutlineView.h"
#include "formats/OutlineFile.h"
