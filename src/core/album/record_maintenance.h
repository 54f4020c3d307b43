#pragma once

namespace pictavo {

class DataSet;
class Prompter;
class Table;

// Offers each keyword of the album's current record that the Keyword Table lacks, in a
// Yes/No confirmation, and appends those accepted with COUNT 1. Meant to run from the
// album's beforePost hook, so every post is checked whoever posts. Nothing is asked for
// an empty Keyword String. Each occurrence is checked on its own: a keyword that stands
// twice is asked about again if the first question was declined. An empty keyword of
// the string (as in "sky,,sea") is not in the table either, so it is asked about like any
// other; accepting it fails with "Field 'KEYWORD' must have a value." and appends
// nothing. An engine error (a closed keyword table, say) leaves this function and so
// aborts the post, which keeps the record in editing.
void CheckNewKeywords(const DataSet &album, Table &keywordTable, Prompter &prompter);

// True when the current record has no photo to show: its IMAGE is null, or the open set
// has no IMAGE field at all (a typed statement that lists names only). A closed set fails
// with "Field 'IMAGE' not found.".
bool RecordWithoutPhoto(const DataSet &album);

// Adds one to the current record's view COUNT and posts it; the post runs the album's
// hooks, new-keyword check included. Nothing on a library that cannot be written; a
// post that fails cancels the edit it started.
void CountView(DataSet &album);

} // namespace pictavo
