// Markers of the K-line chart: news dots above the bars, research rating
// flags on the wicks (main overlay 1) and the columns, bars and value texts
// of the fundamentals pane (pane layout 3). The setters build the marker
// arrays from the data the K-line view hands over; the layout steps place
// them for the visible bars and run inside every CalcKLineIndicators. Dates
// are compared as the integers of FormatKLineBarDate.
#pragma once

struct KLineChart;
struct NewsListArea;

// Builds one mark per news item (date = the item's first 10 characters
// without '-'); only the last item of a date stays visible, with
// sameDayIndex counting the items of its date. Keeps the list (borrowed).
void SetKLineNewsMarks(KLineChart* chart, const NewsListArea* news);
// Builds the rating marks from ratingItems / ratingCount (set them first):
// one visible flag per (date, kind) whose countText holds how many there are.
void SetKLineRatingMarks(KLineChart* chart);
// Copies the dates and values of the shown kind's rows (fundKind 1 finance,
// 2 holders; set the row pointer and count first) into the columns and cells.
void SetKLineFundRows(KLineChart* chart);

void LayoutKLineNewsMarks(KLineChart* chart);
void LayoutKLineRatingMarks(KLineChart* chart);
void LayoutKLineFundRows(KLineChart* chart);
