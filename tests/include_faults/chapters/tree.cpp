// A window folder reaching into another.
#include "editor/frm_edit.h"
#include "chapters/outline.h"
#include "store/data_source.h"
