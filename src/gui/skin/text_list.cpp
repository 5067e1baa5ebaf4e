#include "gui/skin/text_list.h"

#include "gui/skin/qt_text.h"

CGDIpTextListCtrl::CGDIpTextListCtrl(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAlternatingRowColors(true);
    setWordWrap(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void CGDIpTextListCtrl::addLine(const std::wstring& line)
{
    addItem(toQString(line));
}

void CGDIpTextListCtrl::clearLines()
{
    clear();
}

std::wstring CGDIpTextListCtrl::line(int index) const
{
    const QListWidgetItem* it = item(index);
    return it ? toWString(it->text()) : std::wstring();
}

void CGDIpTextListCtrl::redraw()
{
    viewport()->update();
}
