#include "labelprogress.h"

#include "numbertext.h"

#include <QLabel>
#include <QString>

namespace quenzil {

LabelProgress::LabelProgress(QLabel &label) : m_label(label) {}

void LabelProgress::show()
{
    if (!m_changed)
        return;
    m_label.setText(QString::fromStdString(progressCaption(m_count)));
    m_changed = false;
}

} // namespace quenzil
