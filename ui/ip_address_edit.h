// An IPv4 address control: four fields of 0 to 255 separated by dots. Nothing typed changes
// silently: a field over 255 becomes 255 and a short notice below the control says so, and a
// dotted address pasted into any field fills the fields. Other characters are not taken.
#pragma once

#include <QFrame>
#include <QString>

#include <array>
#include <cstdint>

class QLabel;
class QLineEdit;
class QTimer;

class IpAddressEdit : public QFrame {
    Q_OBJECT
public:
    explicit IpAddressEdit(QWidget* parent = nullptr);

    // The address as one 32-bit value, first field in the top byte; blank fields count as 0.
    std::uint32_t address() const;
    // The dotted form, blank fields written as 0 ("0.0.0.1"); empty when every field is blank.
    QString text() const;
    // Fills the fields from a dotted text; an empty or unreadable text leaves them all blank.
    void setText(const QString& dotted);
    void clear();
    bool isBlank() const;

    QLineEdit* field(int index) const { return m_fields[static_cast<std::size_t>(index)]; }

    // The notice below the control (created when first needed), or nullptr.
    QLabel* notice() const { return m_notice; }

    // Names the control, and each field as a part of that address, for screen readers.
    void SetAccessibleAddressName(const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int IndexOf(QObject* object) const;
    void FocusField(int index, bool selectAll);
    void OnFieldEdited(int index, const QString& text);
    void FillFromDottedText(int index, const QString& text);
    void ShowNotice(const QString& text);

    std::array<QLineEdit*, 4> m_fields{};
    QLabel* m_notice = nullptr;
    QTimer* m_noticeTimer = nullptr;
};
