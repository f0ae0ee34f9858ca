// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/DatasetNavigator.h"

#include "pictures/Pictures.h"
#include "platform/data/Dataset.h"

#include <QHBoxLayout>
#include <QToolButton>

namespace qv {

DatasetNavigator::DatasetNavigator(QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const char* names[] = {"First", "Prior", "Next", "Last", "Refresh"};
    const char16_t* pictures[] = {u"nav-first", u"nav-prior", u"nav-next", u"nav-last",
                                  u"nav-refresh"};
    const char* tips[] = {"First record", "Prior record", "Next record", "Last record",
                          "Refresh data"};
    for (int i = 0; i < 5; ++i) {
        auto* button = new QToolButton(this);
        button->setObjectName(QStringLiteral("btn") + QLatin1String(names[i]));
        button->setToolTip(tr(tips[i]));
        // A button with only a picture is nameless to a screen reader.
        button->setAccessibleName(tr(tips[i]));
        button->setIcon(Pictures::icon(pictures[i]));
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
