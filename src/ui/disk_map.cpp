#include "ui/disk_map.h"

#include <QFontDatabase>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <algorithm>

#include "core/operation_log.h"
#include "ui/viewer_text.h"

namespace sv::ui {

namespace {

constexpr int kMargin = 4;
constexpr int kPanelGap = 12;
constexpr int kFadeAlpha = 60;
constexpr SectorHealth kHealths[] = {SectorHealth::Good, SectorHealth::DataCrcError,
                                     SectorHealth::BadId, SectorHealth::Deleted,
                                     SectorHealth::NoData};

QString trackName(int cylinder, int side) {
    return QString::fromStdString("T" + zeroPadded(cylinder, 3) + " H" + std::to_string(side));
}

QString sectorDescription(const TrackSurvey& track, const SurveyedSector& s) {
    return QStringLiteral("%1 slot %2: ID cylinder %3, head %4, record %5; %6 bytes, %7; %8")
        .arg(trackName(track.cylinder, track.side))
        .arg(s.slot + 1)
        .arg(s.cylinder)
        .arg(s.head)
        .arg(s.record)
        .arg(s.lengthBytes())
        .arg(QString::fromLatin1(densityName(s.singleDensity)))
        .arg(QString::fromUtf8(sectorHealthLabel(s.health)));
}

QString countsText(const DiskSurvey& survey) {
    const HealthCounts& c = survey.counts;
    return QStringLiteral("%1 sectors: %2 good, %3 data CRC error, %4 bad ID, %5 deleted, "
                          "%6 no data; %7 records missing")
        .arg(c.sectors())
        .arg(c.good)
        .arg(c.dataCrcError)
        .arg(c.badId)
        .arg(c.deleted)
        .arg(c.noData)
        .arg(c.missing);
}

QString legendText() {
    QString text;
    auto swatch = [&text](const QColor& colour, const QString& label) {
        text += QStringLiteral("<span style=\"background-color:%1\">&nbsp;&nbsp;&nbsp;</span>"
                               "&nbsp;%2&nbsp;&nbsp;&nbsp;")
                    .arg(colour.name(), label);
    };
    for (const SectorHealth health : kHealths) {
        swatch(healthColour(health), QString::fromUtf8(sectorHealthLabel(health)));
    }
    swatch(missingColour(), QStringLiteral("record missing"));
    return text;
}

}  // namespace

QColor healthColour(SectorHealth health) {
    switch (health) {
    case SectorHealth::Good: return {0x4C, 0xAF, 0x50};
    case SectorHealth::Deleted: return {0x42, 0x8B, 0xE8};
    case SectorHealth::DataCrcError: return {0xE5, 0x39, 0x35};
    case SectorHealth::NoData: return {0xFF, 0xB3, 0x00};
    case SectorHealth::BadId: return {0x8E, 0x24, 0xAA};
    }
    return {0x4C, 0xAF, 0x50};
}

QColor missingColour() { return {0xD0, 0xD0, 0xD0}; }

DiskMapView::DiskMapView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setMinimumSize(200, 160);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void DiskMapView::setSurvey(const DiskSurvey* survey) {
    survey_ = survey;
    highlight_.clear();
    update();
}

void DiskMapView::setHighlight(std::vector<SectorPlace> places) {
    std::sort(places.begin(), places.end());
    highlight_ = std::move(places);
    update();
}

bool DiskMapView::highlighted(int cylinder, int side, int slot) const {
    return std::binary_search(highlight_.begin(), highlight_.end(),
                              SectorPlace{cylinder, side, slot});
}

DiskMapView::Grid DiskMapView::grid() const {
    Grid g{};
    if (survey_ == nullptr || survey_->cylinders == 0 || survey_->sides == 0) {
        return g;
    }
    g.columns = 1;
    for (const TrackSurvey& track : survey_->tracks) {
        g.columns = std::max<int>(
            g.columns, static_cast<int>(track.sectors.size() + track.missingRecords.size()));
    }
    const QFontMetrics metrics(font());
    g.left = kMargin + metrics.horizontalAdvance(QStringLiteral("T000 ")) + kMargin;
    g.top = kMargin + metrics.height() + kMargin;
    const int sides = survey_->sides;
    g.panelWidth = std::max(0, (width() - g.left - kMargin - kPanelGap * (sides - 1)) / sides);
    g.cellWidth = std::max(1, g.panelWidth / g.columns);
    g.cellHeight = std::max(1, (height() - g.top - kMargin) / survey_->cylinders);
    return g;
}

QRect DiskMapView::cellRect(int cylinder, int side, int column) const {
    const Grid g = grid();
    if (survey_ == nullptr || g.columns == 0 || column < 0 || column >= g.columns ||
        survey_->track(cylinder, side) == nullptr) {
        return {};
    }
    return {g.left + side * (g.panelWidth + kPanelGap) + column * g.cellWidth,
            g.top + cylinder * g.cellHeight, g.cellWidth, g.cellHeight};
}

std::optional<DiskMapView::Cell> DiskMapView::cellAt(QPoint point) const {
    const Grid g = grid();
    if (survey_ == nullptr || g.columns == 0 || point.x() < g.left || point.y() < g.top) {
        return std::nullopt;
    }
    const int cylinder = (point.y() - g.top) / g.cellHeight;
    const int side = (point.x() - g.left) / (g.panelWidth + kPanelGap);
    const int inPanel = point.x() - g.left - side * (g.panelWidth + kPanelGap);
    const int column = inPanel / g.cellWidth;
    const TrackSurvey* track = survey_->track(cylinder, side);
    if (track == nullptr ||
        column >= static_cast<int>(track->sectors.size() + track->missingRecords.size())) {
        return std::nullopt;
    }
    return Cell{track, column};
}

QString DiskMapView::hoverText(QPoint point) const {
    const std::optional<Cell> cell = cellAt(point);
    if (!cell) {
        return {};
    }
    const TrackSurvey& track = *cell->track;
    const auto found = static_cast<int>(track.sectors.size());
    if (cell->column < found) {
        return sectorDescription(track, track.sectors[static_cast<std::size_t>(cell->column)]);
    }
    return QStringLiteral("%1: record %2 missing (no ID with it was found)")
        .arg(trackName(track.cylinder, track.side))
        .arg(track.missingRecords[static_cast<std::size_t>(cell->column - found)]);
}

void DiskMapView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const Grid g = grid();
    if (survey_ == nullptr || g.columns == 0) {
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("No disk is loaded."));
        return;
    }
    const QFontMetrics metrics(font());
    for (int side = 0; side < survey_->sides; ++side) {
        painter.drawText(g.left + side * (g.panelWidth + kPanelGap), kMargin + metrics.ascent(),
                         QStringLiteral("Side %1").arg(side));
    }
    // Label as many cylinders as the rows have room for.
    const int labelEvery = std::max(1, (metrics.height() + g.cellHeight - 1) / g.cellHeight);
    const bool gaps = g.cellWidth >= 4 && g.cellHeight >= 4;
    const bool fading = !highlight_.empty();
    for (const TrackSurvey& track : survey_->tracks) {
        if (track.side == 0 && track.cylinder % labelEvery == 0) {
            painter.drawText(QRect(kMargin, g.top + track.cylinder * g.cellHeight,
                                   g.left - 2 * kMargin, std::max(g.cellHeight, metrics.height())),
                             Qt::AlignLeft | Qt::AlignTop,
                             QString::fromStdString("T" + zeroPadded(track.cylinder, 3)));
        }
        int column = 0;
        for (const SurveyedSector& s : track.sectors) {
            QRect cell = cellRect(track.cylinder, track.side, column++);
            if (gaps) {
                cell.adjust(0, 0, -1, -1);
            }
            QColor colour = healthColour(s.health);
            const bool lit = highlighted(track.cylinder, track.side, s.slot);
            if (fading && !lit) {
                colour.setAlpha(kFadeAlpha);
            }
            painter.fillRect(cell, colour);
            if (lit && gaps) {
                painter.setPen(QPen(Qt::black, 1));
                painter.drawRect(cell.adjusted(0, 0, -1, -1));
            }
        }
        for (std::size_t m = 0; m < track.missingRecords.size(); ++m) {
            QRect cell = cellRect(track.cylinder, track.side, column++);
            if (gaps) {
                cell.adjust(0, 0, -1, -1);
            }
            painter.fillRect(cell, missingColour());
        }
    }
}

void DiskMapView::mouseMoveEvent(QMouseEvent* event) {
    setToolTip(hoverText(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void DiskMapView::mousePressEvent(QMouseEvent* event) {
    const std::optional<Cell> cell = cellAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && cell &&
        cell->column < static_cast<int>(cell->track->sectors.size())) {
        const SurveyedSector& s = cell->track->sectors[static_cast<std::size_t>(cell->column)];
        emit sectorClicked(SectorPlace{cell->track->cylinder, cell->track->side, s.slot});
        return;
    }
    QWidget::mousePressEvent(event);
}

SectorView::SectorView(const DiskImage& disk, const SurveyedSector& sector, int cylinder, int side,
                       QWidget* parent)
    : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Sector %1 S%2 (slot %3)")
                       .arg(trackName(cylinder, side))
                       .arg(sector.record, 2, 10, QLatin1Char('0'))
                       .arg(sector.slot + 1));
    QString fields =
        QStringLiteral("ID: cylinder %1, head %2, record %3, size code %4 (%5 bytes)\n"
                       "%6, data mark %7, status %8\nState: %9 (data %10)")
            .arg(sector.cylinder)
            .arg(sector.head)
            .arg(sector.record)
            .arg(sector.sizeCode)
            .arg(sector.lengthBytes())
            .arg(QString::fromLatin1(densityName(sector.singleDensity)))
            .arg(QString::number(0xF8 + (sector.status & 3), 16).toUpper())
            .arg(QStringLiteral("0x") +
                 QStringLiteral("%1").arg(sector.status, 2, 16, QLatin1Char('0')).toUpper())
            .arg(QString::fromUtf8(sectorHealthLabel(sector.health)))
            .arg(QString::fromUtf8(dataStateName(sector.state)));
    if (sector.health == SectorHealth::NoData) {
        fields += QStringLiteral("\nThese bytes were not read from the disk: they are fill.");
    } else if (sector.lengthBytes() > kSectorDataBytes) {
        fields += QStringLiteral("\nThe first %1 of its %2 bytes are kept.")
                      .arg(kSectorDataBytes)
                      .arg(sector.lengthBytes());
    }
    auto* label = new QLabel(fields, this);
    label->setObjectName(QString::number(sectorViewId::fields));
    label->setTextFormat(Qt::PlainText);

    const SectorData& data = disk.track(side, cylinder).sectors[sector.slot].data;
    const std::size_t length = std::min<std::size_t>(sector.lengthBytes(), kSectorDataBytes);
    auto* text = new QPlainTextEdit(this);
    text->setObjectName(QString::number(sectorViewId::text));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setPlainText(QString::fromLatin1(hexDump(std::span(data.data(), length))));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(text, 1);
    const QFontMetrics metrics(text->font());
    resize(metrics.horizontalAdvance(QString(80, QLatin1Char('0'))),
           metrics.height() * 24 + label->sizeHint().height());
}

DiskMapWindow::DiskMapWindow(const DiskImage& disk, QWidget* parent)
    : QDialog(parent), disk_(disk) {
    setWindowTitle(QStringLiteral("Disk Map"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    counts_ = new QLabel(this);
    counts_->setObjectName(QString::number(mapId::counts));
    view_ = new DiskMapView(this);
    view_->setObjectName(QString::number(mapId::view));
    auto* legend = new QLabel(legendText(), this);
    legend->setObjectName(QString::number(mapId::legend));
    legend->setTextFormat(Qt::RichText);
    legend->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(counts_);
    layout->addWidget(view_, 1);
    layout->addWidget(legend);
    connect(view_, &DiskMapView::sectorClicked, this, &DiskMapWindow::openSector);
    resize(720, 640);
    refresh();
}

void DiskMapWindow::refresh() {
    survey_ = surveyDisk(disk_);
    view_->setSurvey(&survey_);
    counts_->setText(survey_.cylinders == 0 ? QStringLiteral("No disk is loaded.")
                                            : countsText(survey_));
    if (sectorView_ != nullptr) {
        sectorView_->close();  // it showed bytes the disk may no longer hold
    }
}

void DiskMapWindow::openSector(SectorPlace place) {
    const TrackSurvey* track = survey_.track(place.cylinder, place.side);
    if (track == nullptr) {
        return;
    }
    for (const SurveyedSector& s : track->sectors) {
        if (s.slot == place.slot) {
            if (sectorView_ != nullptr) {
                sectorView_->close();
            }
            sectorView_ = new SectorView(disk_, s, place.cylinder, place.side, this);
            sectorView_->show();
            return;
        }
    }
}

}  // namespace sv::ui
