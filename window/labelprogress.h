#pragma once

class QLabel;

namespace quenzil {

// The progress label of a table run. setCount() only notes the count; show() writes the caption
// "Pixel: " + the count's number text, and only when a new count has come since the last
// show(), so a run that has done no pixel leaves the previous caption standing.
class LabelProgress
{
public:
    explicit LabelProgress(QLabel &label);

    void setCount(double count)
    {
        m_count = count;
        m_changed = true;
    }
    double count() const { return m_count; }
    void show();

private:
    QLabel &m_label;
    double m_count = 0;
    bool m_changed = false;
};

} // namespace quenzil
