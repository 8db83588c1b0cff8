// The page's side of PageBridge.h, linked into the module as an Emscripten library. Each
// call is handed to window.tilsenPage, which tilsen-page.js sets up before the show starts.
// tilsenPageYield is the one asynchronous import (ASYNCIFY_IMPORTS): the step calling it is
// unwound, the page's waiting tasks run, and a message (not a timer, which the browser
// slows down when nested) rewinds it.
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
  tilsenPageNow: function () {
    return performance.now();
  },
  tilsenPageYield__deps: ['$Asyncify'],
  tilsenPageYield: function () {
    Asyncify.handleSleep(function (wakeUp) {
      const channel = new MessageChannel();
      channel.port1.onmessage = function () {
        channel.port1.close();
        wakeUp();
      };
      channel.port2.postMessage(0);
    });
  },
});
