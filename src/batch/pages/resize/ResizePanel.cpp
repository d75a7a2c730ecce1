#include "batch/pages/resize/ResizePanel.h"

ConvertPanel *makeResizePanel()
{
    return new ConvertPanel(SizeRows::AllPresets);
}
