#pragma once

#include <QSize>

namespace pictavo {

class DisplayPicture;
class Query;
class ThumbnailCache;

// What the other windows need of the main window: its Album Query, and what follows when
// they point that query elsewhere or store a photo through it. They talk to the main
// window through this seam only, so none of them depends on the main window's class.
// But for albumQuery(), each call does nothing here, as there is no window to follow.
class AlbumHost
{
public:
    virtual ~AlbumHost() = default;
    virtual Query &albumQuery() = 0;
    // The record counter (hides the picture when the set is empty).
    virtual void showRecordCount() {}
    // Resets the easy filter's entries; nothing when there is no easy filter.
    virtual void clearEasyFilter() {}
    // Before a store: the main window takes the picture the import decoded, so that
    // showing the stored record draws it without decoding the photo again.
    virtual void pictureToStore(const DisplayPicture & /*picture*/) {}
    // Paints at once, so a stored photo shows before the next file is read.
    virtual void repaintNow() {}
    // Hides the picture, for a query that failed to open.
    virtual void hidePicture() {}
    // The Keyword Table was written anew (a rebuild): the main window reads it again.
    virtual void keywordTableChanged() {}
    // The thumbnails of the library the Album Query is open on; null for none. The import
    // hands each photo it stores there with the decode it made of it.
    virtual ThumbnailCache *thumbnails() { return nullptr; }
    // Shows the current record as a slide and counts the view, as the Slide command does.
    virtual void showSlide() {}
    // The main window's picture area, where a stored photo is drawn next.
    virtual QSize pictureAreaSize() const { return {}; }
};

} // namespace pictavo
