#pragma once

#include <QString>

// What one adding of files did (files chosen, a folder, a drop), for the page's
// notice: how many rows came, and what was passed over, by kind.
struct AddReport
{
    int added = 0;
    int unsupported = 0; // files whose suffix the page does not take
    int folders = 0; // folders inside an added folder (not entered)

    AddReport &operator+=(const AddReport &other);

    // "已添加 21 个文件，已跳过 9 个不支持的文件、1 个文件夹"; "没有可添加的文件" when
    // nothing came and nothing was passed over.
    QString notice() const;
};
