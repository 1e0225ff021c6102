#pragma once
// The families a face name of a report is drawn with. Cells, titles and
// chart labels all go through this one table so that the same characters
// come out of a printed page (and its PDF text layer) wherever they sit.

#include <QString>
#include <QStringList>

namespace qor::items {

// Families a face of the font table is drawn with, best first. The Chinese
// faces go to the CJK families (宋体 and 仿宋_GB2312 serif, 黑体 sans,
// 楷体_GB2312 a Kai family where one is installed, else serif); the
// vertical "@" faces draw as their upright ones; Latin faces keep their
// name and have the CJK sans behind them for Chinese characters, so the
// look never depends on what the system would pick by itself.
QStringList SubstituteFontFamilies(const QString& face);

}  // namespace qor::items
