// The user's stored values, through the registered control (the package tests run it under
// cscript).
//
//   stored_settings.js                                   prints feeds|flags|minutes|seconds|speed
//   stored_settings.js store FEEDS FLAGS MINUTES SECONDS SPEED     stores these values
//
// Exit code 3 when the control cannot be created.
var ticker;
try {
  ticker = new ActiveXObject("Tidewire.TidewireGadget");
} catch (e) {
  WScript.Echo("Tidewire.TidewireGadget cannot be created: " + e.message);
  WScript.Quit(3);
}
var args = WScript.Arguments;
if (args.length == 6 && args(0) == "store") {
  ticker.FeedURLs = args(1);
  ticker.FeedURLsActive = args(2);
  ticker.FeedRefreshRate = parseInt(args(3), 10);
  ticker.DelayBetweenFeeds = parseInt(args(4), 10);
  ticker.SpeechSpeed = parseInt(args(5), 10);
  ticker.SaveSettings();
} else {
  ticker.LoadSettings();
  WScript.Echo([ticker.FeedURLs, ticker.FeedURLsActive, ticker.FeedRefreshRate,
                ticker.DelayBetweenFeeds, ticker.SpeechSpeed].join("|"));
}
