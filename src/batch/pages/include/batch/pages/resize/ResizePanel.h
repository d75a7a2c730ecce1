#pragma once

#include "batch/pages/convert/ConvertPanel.h"

// Settings of the resize page: the conversion page's panel with every size
// preset of the catalogue, which fill the width and height fields.
ConvertPanel *makeResizePanel();
