// Sets Tidewire's feeds, reload period and speed for the user who runs it and stores them where
// TidewireApp reads them when it next starts: a logon script's job.
//
//   cscript //nologo configure.js [FEED-ADDRESS ...]
//
// Without addresses it subscribes the two placeholder feeds below. The user's other values (the
// pause between stories) are kept. The control must be registered: the all-users installation
// does that (see docs/embedding.md).

var feeds = [];
for (var i = 0; i < WScript.Arguments.length; i++) {
  feeds.push(WScript.Arguments(i));
}
if (feeds.length == 0) {
  feeds = ["https://intranet.example.com/news/rss.xml",
           "https://intranet.example.com/events/rss.xml"];
}
var active = [];
for (var i = 0; i < feeds.length; i++) {
  active.push("1");
}

var ticker = new ActiveXObject("Tidewire.TidewireGadget");
ticker.LoadSettings();                        // start from the user's stored values
ticker.FeedURLs = feeds.join(" URL ");        // the feed list: addresses joined by " URL "
ticker.FeedURLsActive = active.join(" URL "); // one flag per feed: "1" active, "0" not
ticker.FeedRefreshRate = 15;                  // minutes between two passes over the feeds
ticker.SpeechSpeed = 5;                       // -10 (slowest) to 10 (fastest)
ticker.SaveSettings();                        // stored for this user

WScript.Echo("Tidewire: " + feeds.length + " feeds, reloaded every " + ticker.FeedRefreshRate +
             " minutes, speed " + ticker.SpeechSpeed);
