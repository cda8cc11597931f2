#include "catalogue/list_columns.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>

namespace {

// Watches the list's size and the operator's column resizes.
class LastColumnStretcher final : public QObject {
public:
    explicit LastColumnStretcher(QTableView* view)
        : QObject(view), m_view(view), m_startWidth(view->width()) {
        QHeaderView* header = view->horizontalHeader();
        m_ownWidth = header->sectionSize(LastColumn());
        connect(header, &QHeaderView::sectionResized, this, [this](int column, int, int newSize) {
            if (m_stretching)
                return;
            if (column == LastColumn())
                m_ownWidth = newSize;
            else
                Stretch();
        });
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize && (watched == m_view || watched == m_view->viewport()))
            Stretch();
        return QObject::eventFilter(watched, event);
    }

private:
    int LastColumn() const { return m_view->horizontalHeader()->count() - 1; }

    void Stretch() {
        QHeaderView* header = m_view->horizontalHeader();
        const int last = LastColumn();
        if (last < 0)
            return;
        int width = m_ownWidth;
        if (m_view->width() > m_startWidth) {
            int others = 0;
            for (int column = 0; column < last; ++column)
                others += header->sectionSize(column);
            width = std::max(width, m_view->viewport()->width() - others);
        }
        if (header->sectionSize(last) == width)
            return;
        m_stretching = true;
        header->resizeSection(last, width);
        m_stretching = false;
    }

    QTableView* m_view;
    int m_startWidth;
    int m_ownWidth = 0;
    bool m_stretching = false;
};

} // namespace

void StretchLastColumn(QTableView* view) {
    new LastColumnStretcher(view);
}
