#pragma once
// The cell attribute members live with the view's command that gathers and
// applies them; the dialog includes them from here as before.
#include "view/cellattr_model.h"
