// The top includes every folder: no fault.
#include "app/app_context.h"
#include "chapters/frm_write.h"
#include "editor/frm_edit.h"
#include "library/frm_dl.h"
#include "ui/prompts.h"
