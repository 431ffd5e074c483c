#pragma once

// The disk map: every track side as a row of cells, one per sector in the order found, coloured
// by what the sector amounts to, then one grey cell per record missing from the track's
// sequence. It draws the engine's survey and parses nothing. Hovering names a sector; a click
// opens the sector view on it.

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <optional>
#include <vector>

#include "core/disk_image.h"
#include "survey/disk_survey.h"

class QLabel;

namespace sv::ui {

namespace mapId {
inline constexpr int view = 1050;
inline constexpr int counts = 1051;
inline constexpr int legend = 1052;
}  // namespace mapId

namespace sectorViewId {
inline constexpr int fields = 1055;
inline constexpr int text = 1056;
}  // namespace sectorViewId

[[nodiscard]] QColor healthColour(SectorHealth health);
[[nodiscard]] QColor missingColour();

// The map's drawing surface; scales its grid to its size.
class DiskMapView : public QWidget {
    Q_OBJECT

public:
    explicit DiskMapView(QWidget* parent = nullptr);

    void setSurvey(const DiskSurvey* survey);
    // Sectors drawn at full strength while the others fade; empty: no highlight.
    void setHighlight(std::vector<SectorPlace> places);
    [[nodiscard]] const std::vector<SectorPlace>& highlight() const { return highlight_; }

    // The cell of the `column`th entry of a track side's row (its sectors, then its missing
    // records); empty outside the grid.
    [[nodiscard]] QRect cellRect(int cylinder, int side, int column) const;
    // What the cell under `point` shows, as the hover text; empty over no cell.
    [[nodiscard]] QString hoverText(QPoint point) const;

signals:
    void sectorClicked(sv::SectorPlace place);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    struct Cell {
        const TrackSurvey* track;
        int column;
    };
    struct Grid {
        int left;
        int top;
        int panelWidth;
        int cellWidth;
        int cellHeight;
        int columns;
    };
    [[nodiscard]] Grid grid() const;
    [[nodiscard]] std::optional<Cell> cellAt(QPoint point) const;
    [[nodiscard]] bool highlighted(int cylinder, int side, int slot) const;

    const DiskSurvey* survey_ = nullptr;
    std::vector<SectorPlace> highlight_;  // sorted
};

// One sector: its ID fields, size, density, status and state above a hex and character dump of
// its bytes. Says so when the bytes are fill rather than read.
class SectorView : public QDialog {
    Q_OBJECT

public:
    SectorView(const DiskImage& disk, const SurveyedSector& sector, int cylinder, int side,
               QWidget* parent = nullptr);
};

class DiskMapWindow : public QDialog {
    Q_OBJECT

public:
    explicit DiskMapWindow(const DiskImage& disk, QWidget* parent = nullptr);

    // Surveys the disk again, after an operation changed it.
    void refresh();
    void setHighlight(std::vector<SectorPlace> places) { view_->setHighlight(std::move(places)); }

    [[nodiscard]] DiskMapView& view() { return *view_; }
    [[nodiscard]] const DiskSurvey& survey() const { return survey_; }
    // The sector view opened last, while it is open.
    [[nodiscard]] SectorView* sectorView() const { return sectorView_; }

private:
    void openSector(SectorPlace place);

    const DiskImage& disk_;
    DiskSurvey survey_;
    DiskMapView* view_ = nullptr;
    QLabel* counts_ = nullptr;
    QPointer<SectorView> sectorView_;
};

}  // namespace sv::ui
