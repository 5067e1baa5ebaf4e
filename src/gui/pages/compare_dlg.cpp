#include "gui/pages/compare_dlg.h"

#include "base/language.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/qt_text.h"
#include "gui/skin/statics.h"
#include "records/settings_compare.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QTableWidget>

#include <algorithm>

namespace {

using Field = CSettingsDifference::Field;

// A changed value: amber, so that it stands out from the grey of the unchanged ones.
const QColor kChanged(255, 196, 87);
const QColor kChangedText(60, 30, 0);
const QColor kUnchangedText(120, 126, 136);
const QColor kAxisBack(40, 79, 134);
constexpr int kMarkedRole = Qt::UserRole + 1;

QString number(const CSettingsDifference& d, double value)
{
    return QString::fromStdString(differenceValue(d, value));
}

// "7.2→8.4": the controller's value, then the file's, narrow enough for a grid cell.
QString change(const CSettingsDifference& d)
{
    return number(d, d.controller) + QStringLiteral("\u2192") + number(d, d.file);
}

void mark(QTableWidgetItem* item, const QString& text)
{
    item->setText(text);
    item->setBackground(kChanged);
    item->setForeground(kChangedText);
    QFont plain = item->font();
    plain.setBold(false);
    item->setFont(plain);
    item->setData(kMarkedRole, true);
}

} // namespace

CCompareDlg::CCompareDlg(const CDoravineDoc::Comparison& comparison, QWidget* parent)
    : CSkinDlg(QSize(760, 420), parent), m_heading(new CGDIpStatic(this)), m_file(new CTransparentStatic(this)),
      m_summary(new CTransparentStatic(this)), m_settings(new CTransparentStatic(this)),
      m_grid(new QTableWidget(kMapRows + 1, kMapColumns + 1, this)), m_legend(new CTransparentStatic(this)),
      m_load(new CGDIpGradientButton(this)), m_close(new CGDIpGradientButton(this))
{
    setWindowTitle(QStringLiteral("Doravine"));
    m_heading->setCaption(translateText(L"Porównanie pliku z ustawieniami sterownika"));
    m_file->setCaption(translateText(L"Plik:") + L" " +
                       toWString(QFileInfo(toQString(comparison.path)).fileName()));
    m_file->setToolTip(toQString(comparison.path));

    const size_t count = comparison.differences.size();
    m_summary->setCaption(count == 0 ? translateText(L"Plik nie zmieni niczego w sterowniku.")
                                     : translateText(L"Wczytanie pliku zmieni w sterowniku wartości:") + L" " +
                                           std::to_wstring(count));
    QFont bold = m_summary->font();
    bold.setBold(true);
    m_summary->setFont(bold);
    m_settings->setCaption(settingsText(comparison));
    m_legend->setCaption(translateText(L"Zaznaczone: wartość w sterowniku → wartość z pliku"));

    m_load->setCaption(translateText(L"Wczytaj do sterownika..."));
    m_close->setCaption(translateText(L"Zamknij"));
    m_close->setDefault(true);
    connect(m_load, &QPushButton::clicked, this, [this] { done(GoOnToLoad); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);

    fillGrid(comparison);

    placeControl(m_heading, 10, 6, 740, 20);
    placeControl(m_file, 12, 30, 736, 12);
    placeControl(m_summary, 12, 44, 736, 12);
    placeControl(m_settings, 12, 58, 736, 24);
    placeControl(m_grid, 10, 86, 740, 296);
    placeControl(m_legend, 12, 392, 440, 14);
    placeControl(m_load, 516, 390, 140, 20);
    placeControl(m_close, 664, 390, 86, 20);
}

void CCompareDlg::resizeEvent(QResizeEvent* event)
{
    CSkinDlg::resizeEvent(event);
    // A little smaller than the dialog's text, so that "10.8→12.0" fits a cell of 15 columns.
    QFont font = m_grid->font();
    font.setPixelSize(std::max(9, font.pixelSize() * 85 / 100));
    m_grid->setFont(font);
}

std::wstring CCompareDlg::settingsText(const CDoravineDoc::Comparison& c) const
{
    // The two plain settings, each with its change or "bez zmian".
    auto line = [&](Field field, const wchar_t* label, const std::wstring& unit) {
        std::wstring text = translateText(label) + L": ";
        for (const CSettingsDifference& d : c.differences)
            if (d.field == field)
                return text + toWString(number(d, d.controller) + QStringLiteral(" \u2192 ") + number(d, d.file)) +
                       unit;
        return text + translateText(L"bez zmian");
    };
    return line(Field::TpsThreshold, TR_KEY(L"Próg TPS"), L" " + translateText(L"V")) + L"\n" +
           line(Field::InputSource, TR_KEY(L"Źródło sygnału"), L"");
}

void CCompareDlg::fillGrid(const CDoravineDoc::Comparison& c)
{
    // The axes sit in the grid itself, the RPM points along the first row and the MAP points down
    // the first column, so that a changed point is marked as a changed cell is.
    m_grid->setObjectName(QStringLiteral("compareGrid"));
    m_grid->horizontalHeader()->hide();
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::NoSelection);
    m_grid->setFocusPolicy(Qt::NoFocus);
    m_grid->setTextElideMode(Qt::ElideNone);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_grid->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_grid->setStyleSheet(
        QStringLiteral("QTableWidget { background: #ffffff; gridline-color: #d3d8e0; border: 1px solid #8a97ab; }"));

    auto put = [this](int row, int column, const QString& text, bool axis) {
        auto* item = new QTableWidgetItem(text);
        item->setTextAlignment(Qt::AlignCenter);
        if (axis) {
            item->setBackground(kAxisBack);
            item->setForeground(Qt::white);
            QFont bold = item->font();
            bold.setBold(true);
            item->setFont(bold);
        } else {
            item->setForeground(kUnchangedText);
        }
        m_grid->setItem(row, column, item);
    };
    put(0, 0, QStringLiteral("V \\ RPM"), true);
    for (int j = 0; j < kMapColumns; ++j) {
        const CSettingsDifference d{Field::RpmAxis, 0, j, c.controller.rpmAxis[j], 0};
        put(0, j + 1, number(d, d.controller), true);
    }
    for (int i = 0; i < kMapRows; ++i) {
        const CSettingsDifference d{Field::MapAxis, i, 0, c.controller.mapAxis[i], 0};
        put(i + 1, 0, number(d, d.controller), true);
        for (int j = 0; j < kMapColumns; ++j) {
            const CSettingsDifference cell{Field::AdvanceMap, i, j, c.controller.advanceMap[i][j], 0};
            put(i + 1, j + 1, number(cell, cell.controller), false);
        }
    }
    for (const CSettingsDifference& d : c.differences) {
        switch (d.field) {
        case Field::AdvanceMap:
            mark(m_grid->item(d.row + 1, d.column + 1), change(d));
            break;
        case Field::RpmAxis:
            mark(m_grid->item(0, d.column + 1), change(d));
            break;
        case Field::MapAxis:
            mark(m_grid->item(d.row + 1, 0), change(d));
            break;
        default:
            break;
        }
    }
}

bool CCompareDlg::marked(int row, int column) const
{
    const QTableWidgetItem* item = m_grid->item(row, column);
    return item && item->data(kMarkedRole).toBool();
}

bool CCompareDlg::cellMarked(int row, int column) const
{
    return marked(row + 1, column + 1);
}

bool CCompareDlg::rpmPointMarked(int column) const
{
    return marked(0, column + 1);
}

bool CCompareDlg::mapPointMarked(int row) const
{
    return marked(row + 1, 0);
}
