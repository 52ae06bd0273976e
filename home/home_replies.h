// Reply handling shared by the home page's HTTP callbacks: gzip unpacking of
// a reply body and the fill of a news list's grid from a JSON list.
#pragma once

#include <string>

class CGridCtrl;

// The request address of a directory service as the home page sends it:
// ChooseServer's text split at "::"; the address (at most 1,023 bytes) and,
// when a second part names parameters, those parameters appended
// (AppendUrlParams). Empty when the service is not in the directory.
std::string HomeServiceAddress(const char* name);

// The reply as text: a gzip body is unpacked when it unpacks to exactly the
// size its trailer states (at most 64 MB); a damaged or oversized gzip body
// gives an empty text; any other body is taken as it is.
std::string UnpackReplyText(const char* body, int length);

// Fills the grid of a news list from {"data":[{"title","pubdate","url"}]}:
// the grid is emptied first (one row, no column); a text the JSON reader
// refuses leaves it so; a missing or empty "data" array repaints it empty.
// Otherwise count + 1 rows of 3 columns: the header 标题/时间/地址, widths
// 2 * unit, unit and 0; titles unescaped, dates and addresses as they are,
// missing values empty. Any thread: the grid guards its own cells.
void FillInfoList(CGridCtrl* grid, const char* text, int unit);
