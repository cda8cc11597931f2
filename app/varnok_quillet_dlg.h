// The main window: the Certificates list, the Information list and the command buttons.
#pragma once

#include "catalogue/background_refresh.h"
#include "catalogue/certificate_catalogue.h"
#include "inspect/certificate_decoder.h"

#include <QDialog>
#include <QIcon>
#include <QRect>
#include <QSize>

#include <chrono>
#include <filesystem>
#include <memory>
#include <vector>

class CertificateListModel;
class PropertyListModel;
class QMenu;
class QPushButton;
class QTableView;
class QTimer;

class CVarnokQuilletDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRefreshTimerId = 100;
    static constexpr int kRefreshIntervalMs = 1000;
    static constexpr unsigned IDM_ABOUTBOX = 0x0010;
    static constexpr unsigned SC_CLOSE = 0xF060;

    explicit CVarnokQuilletDlg(QWidget* parent = nullptr);
    ~CVarnokQuilletDlg() override;

    // The menu that takes the place of the system menu; it ends with a separator and the About
    // entry. The caller owns it.
    QMenu* CreateSystemMenu();
    void OnSysCommand(unsigned id);

    void OnTimer(int id);
    // Brings the lists and the per-row state up to date with the certificate folder: adopts the
    // outcome of a finished refresh, then starts the next one unless one is still in flight.
    // The listing and reading run on the refresh's own thread; their outcome is adopted on this
    // thread in one step, when it arrives (refreshFinished tells).
    void RefreshCertificateList();
    bool RefreshInFlight() const { return m_refresh.InFlight(); }
    // How long the work of the last adopted refresh took on the refresh's thread.
    std::chrono::nanoseconds LastRefreshWorkTime() const { return m_lastRefreshWorkTime; }

    void OnClickCertificateList(int item);
    void OnClickInformationList(int item);

    // Open the generation form with default parameters, or filled from the selected
    // certificate.
    void OnBnClickedNew();
    void OnBnClickedGenerateCitation();

    // Delete the selected file after a confirmation, show it in the file manager, open the
    // manual.
    void OnBnClickedDelete();
    void OnBnClickedShowCertificateFile();
    void OnBnClickedHelp();

    // The first selected row of the Certificates list, or -1.
    int SelectedCertificateRow() const;

    // Copies the selected rows of the Information list as "Name<TAB>Value" lines, in list order.
    void CopyInformationRows();
    // Copies the full path of the file of Certificates row `row`.
    void CopyCertificatePath(int row);

    // The per-row state: row i of the Certificates list is the file filePaths()[i] with the
    // properties propertyLists()[i].
    const std::vector<std::filesystem::path>& filePaths() const { return m_catalogue.filePaths(); }
    const std::vector<CertPropertyList>& propertyLists() const {
        return m_catalogue.propertyLists();
    }

signals:
    // A refresh ended: `rebuilt` when its new rows are now shown, false when the folder was
    // unchanged or could not be listed.
    void refreshFinished(bool rebuilt);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Files dropped on the window are brought into the certificate folder (actions/drop_import).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The selected row's entry of `perRow` (filePaths() or propertyLists()), or null.
    template <class T> const T* SelectedRowItem(const std::vector<T>& perRow) const {
        const int row = SelectedCertificateRow();
        return row >= 0 && static_cast<std::size_t>(row) < perRow.size()
                   ? &perRow[static_cast<std::size_t>(row)]
                   : nullptr;
    }

    void OnInitDialog();
    void SetUpLists();
    // Tints and tooltips, the stretching last columns, keys, row menus: app/list_commands.cpp.
    void SetUpListCommands();
    void ShowCertificateListMenu(const QPoint& position);
    void ShowInformationListMenu(const QPoint& position);
    void PopUpMenu(QMenu* menu, const QPoint& globalPosition);
    void ApplyResizeRules();
    // Puts the outcome of a finished refresh in place, if there is one.
    void AdoptFinishedRefresh();

    struct PlacedControl {
        QWidget* widget;
        QRect initial;
        int moveX, moveY, growX, growY;
    };

    QIcon m_icon;
    CertificateCatalogue m_catalogue;
    // Reads m_catalogue, so it is declared after it and ends before it.
    std::unique_ptr<CertificateListModel> m_certificateModel;
    BackgroundRefresh m_refresh;
    std::chrono::nanoseconds m_lastRefreshWorkTime{0};

    QTableView* m_certificateList = nullptr;
    QTableView* m_informationList = nullptr;
    PropertyListModel* m_informationModel = nullptr;
    QTimer* m_refreshTimer = nullptr;
    QSize m_initialClientSize;
    std::vector<PlacedControl> m_placedControls;
};
