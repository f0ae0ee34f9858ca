#include "platform/ui/DatasetNavigator.h"

#include "platform/data/Dataset.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace qv {
namespace {

// Draws the classic navigator glyphs: triangles with a bar for first and
// last, a single triangle for prior and next, a circular arrow for refresh.
QIcon glyph(DatasetNavigator::Button which, const QColor& colour) {
    const int size = 16;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const bool leftwards = which == DatasetNavigator::First || which == DatasetNavigator::Prior;
    if (which == DatasetNavigator::Refresh) {
        QPen pen(colour, 2.0);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3, 3, 10, 10), 60 * 16, 290 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        QPainterPath head;
        head.moveTo(9.5, 0.5);
        head.lineTo(14.5, 3.5);
        head.lineTo(9.5, 7.0);
        head.closeSubpath();
        p.drawPath(head);
    } else {
        QPainterPath triangle;
        if (leftwards) {
            triangle.moveTo(12, 3);
            triangle.lineTo(12, 13);
            triangle.lineTo(6, 8);
        } else {
            triangle.moveTo(4, 3);
            triangle.lineTo(4, 13);
            triangle.lineTo(10, 8);
        }
        triangle.closeSubpath();
        p.drawPath(triangle);
        if (which == DatasetNavigator::First)
            p.drawRect(QRectF(3, 3, 2, 10));
        if (which == DatasetNavigator::Last)
            p.drawRect(QRectF(11, 3, 2, 10));
    }
    return QIcon(pixmap);
}

} // namespace

DatasetNavigator::DatasetNavigator(QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const char* names[] = {"First", "Prior", "Next", "Last", "Refresh"};
    const char* tips[] = {"First record", "Prior record", "Next record", "Last record",
                          "Refresh data"};
    const QColor colour = palette().color(QPalette::ButtonText);
    for (int i = 0; i < 5; ++i) {
        auto* button = new QToolButton(this);
        button->setObjectName(QStringLiteral("btn") + QLatin1String(names[i]));
        button->setToolTip(tr(tips[i]));
        // A button with only a picture is nameless to a screen reader.
        button->setAccessibleName(tr(tips[i]));
        button->setIcon(glyph(Button(i), colour));
        button->setIconSize(QSize(16, 16));
        button->setFixedSize(28, 25);
        button->setAutoRaise(false);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QToolButton::clicked, this, [this, i] { clicked(Button(i)); });
        layout->addWidget(button);
        m_buttons[i] = button;
    }
    updateButtons();
}

void DatasetNavigator::setDataset(Dataset* dataset) {
    if (m_dataset)
        disconnect(m_dataset, nullptr, this, nullptr);
    m_dataset = dataset;
    if (dataset) {
        connect(dataset, &Dataset::afterScroll, this, &DatasetNavigator::updateButtons);
        connect(dataset, &Dataset::rowsReset, this, &DatasetNavigator::updateButtons);
        connect(dataset, &Dataset::stateChanged, this, &DatasetNavigator::updateButtons);
    }
    updateButtons();
}

void DatasetNavigator::clicked(Button which) {
    if (!m_dataset || !m_dataset->isActive())
        return;
    switch (which) {
    case First:
        m_dataset->first();
        break;
    case Prior:
        m_dataset->prior();
        break;
    case Next:
        m_dataset->next();
        break;
    case Last:
        m_dataset->last();
        break;
    case Refresh:
        m_dataset->requery();
        emit refreshed();
        break;
    }
    updateButtons();
}

void DatasetNavigator::updateButtons() {
    const bool active = m_dataset && m_dataset->isActive();
    const int recNo = active ? m_dataset->recNo() : 0;
    const int count = active ? m_dataset->recordCount() : 0;
    m_buttons[First]->setEnabled(recNo > 1);
    m_buttons[Prior]->setEnabled(recNo > 1);
    m_buttons[Next]->setEnabled(recNo > 0 && recNo < count);
    m_buttons[Last]->setEnabled(recNo > 0 && recNo < count);
    m_buttons[Refresh]->setEnabled(active);
}

} // namespace qv
