// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QToolButton;

namespace qv {

class Dataset;

// Buttons that move a dataset's cursor: first, prior, next, last, and refresh,
// which runs the query again and returns to the same record number when the
// list is still that long. Buttons that cannot move are disabled.
class DatasetNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Refresh };

    explicit DatasetNavigator(QWidget* parent = nullptr);

    void setDataset(Dataset* dataset);
    Dataset* dataset() const { return m_dataset; }
    QToolButton* button(Button which) const { return m_buttons[which]; }

signals:
    // After a refresh has re-run the query.
    void refreshed();

private:
    void clicked(Button which);
    void updateButtons();

    Dataset* m_dataset = nullptr;
    QToolButton* m_buttons[5] = {};
};

} // namespace qv
