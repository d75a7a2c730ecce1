#include "batch/toolbox/ToolboxTabs.h"

#include "batch/pages/compress/CompressMainWT.h"
#include "batch/pages/convert/CHFMainWT.h"
#include "batch/pages/resize/SizeUpdateMainWT.h"
#include "batch/pages/rotate/RotateImgMainWT.h"

namespace {

template<typename Page> BatchPage *make()
{
    return new Page;
}

} // namespace

const QList<ToolboxTab> &toolboxTabs()
{
    static const QList<ToolboxTab> tabs = {
        {TabBar::ConvertTab, "ch_format", "格式转换", &make<CHFMainWT>},
        {TabBar::ResizeTab, "size_updating", "尺寸修改", &make<SizeUpdateMainWT>},
        {TabBar::CompressTab, "zip", "图片压缩", &make<CompressMainWT>},
        {TabBar::RotateTab, "rotating", "图片旋转", &make<RotateImgMainWT>},
    };
    return tabs;
}
