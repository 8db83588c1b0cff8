// The page's side of PageBridge.h, linked into the module as an Emscripten library. Each
// call is handed to window.tilsenPage, which tilsen-page.js sets up before the show starts.
mergeInto(LibraryManager.library, {
  tilsenPagePresent: function (rgba, width, height) {
    window.tilsenPage.present(HEAPU8.subarray(rgba, rgba + width * height * 4), width, height);
  },
  tilsenPageClose: function () {
    window.tilsenPage.close();
  },
  tilsenPageError: function (message) {
    window.tilsenPage.error(UTF8ToString(message));
  },
  tilsenPagePlayTime: function () {
    return window.tilsenPage.playTime() >>> 0;
  },
  tilsenPageMusicStop: function () {
    window.tilsenPage.musicStop();
  },
  tilsenPageMusicVolume: function (volume) {
    window.tilsenPage.musicVolume(volume);
  },
  tilsenPageEnded: function () {
    window.tilsenPage.ended();
  },
});
