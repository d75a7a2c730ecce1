#include "ToolboxTabs.h"

#include "batch/pages/compress/CompressPanel.h"
#include "batch/pages/convert/ConvertPanel.h"
#include "batch/pages/resize/ResizePanel.h"
#include "batch/pages/rotate/RotatePanel.h"

namespace {

template<typename Panel> SettingsPanel *make()
{
    return new Panel;
}

} // namespace

const QList<ToolboxTab> &toolboxTabs()
{
    static const QList<ToolboxTab> tabs = {
        {"ch_format", "格式转换",
         {Operation::Convert, QStringLiteral("支持 jpg，jpeg，png，bmp，tif，tiff，webp 等上百种格式"),
          QStringLiteral("请添加要转换的文件！"), BatchPage::PanelOutputFolder, BatchPage::StartEvenIfEmpty},
         &make<ConvertPanel>, &BatchColumns::standard},
        {"size_updating", "尺寸修改",
         {Operation::Resize, QStringLiteral("支持 jpg，jpeg，png，raw，bmp，tif，tiff，webp 等上百种格式"),
          QStringLiteral("请添加要转换的文件！"), BatchPage::RowOutputFolder, BatchPage::StartEvenIfEmpty},
         []() -> SettingsPanel * { return makeResizePanel(); }, &BatchColumns::standard},
        {"zip", "图片压缩",
         {Operation::Compress, QStringLiteral("支持 png，jpg，jpeg 格式的图片进行压缩"),
          QStringLiteral("请添加要压缩的文件！"), BatchPage::RowOutputFolder, BatchPage::SkipIfEmpty},
         &make<CompressPanel>, &BatchColumns::withResultSize},
        {"rotating", "图片旋转",
         {Operation::Rotate, QStringLiteral("支持 jpg，jpeg，png，bmp 格式的图片"), QStringLiteral("请添加要转换的文件！"),
          BatchPage::RowOutputFolder, BatchPage::StartEvenIfEmpty},
         &make<RotatePanel>, &BatchColumns::standard},
    };
    return tabs;
}

BatchPage *makePage(int tab, QWidget *parent)
{
    const ToolboxTab &row = toolboxTabs().at(tab);
    return new BatchPage(row.spec, row.makePanel(), row.columns(), parent);
}
