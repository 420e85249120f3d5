' Sets Tidewire's feeds, reload period and speed for the user who runs it and stores them where
' TidewireApp reads them when it next starts: a logon script's job.
'
'   cscript //nologo configure.vbs [FEED-ADDRESS ...]
'
' Without addresses it subscribes the two placeholder feeds below. The user's other values (the
' pause between stories) are kept. The control must be registered: the all-users installation
' does that (see docs/embedding.md).
Option Explicit

Dim feeds, active, count, i, ticker
' The lists are built in a loop rather than with Join, which some script engines lack.
Sub Add(address)
  If count > 0 Then
    feeds = feeds & " URL "
    active = active & " URL "
  End If
  feeds = feeds & address                    ' the feed list: addresses joined by " URL "
  active = active & "1"                      ' one flag per feed: "1" active, "0" not
  count = count + 1
End Sub

count = 0
For i = 0 To WScript.Arguments.Count - 1
  Add WScript.Arguments(i)
Next
If count = 0 Then
  Add "https://intranet.example.com/news/rss.xml"
  Add "https://intranet.example.com/events/rss.xml"
End If

Set ticker = WScript.CreateObject("Tidewire.TidewireGadget")
ticker.LoadSettings                          ' start from the user's stored values
ticker.FeedURLs = feeds
ticker.FeedURLsActive = active
ticker.FeedRefreshRate = 15                  ' minutes between two passes over the feeds
ticker.SpeechSpeed = 5                       ' -10 (slowest) to 10 (fastest)
ticker.SaveSettings                          ' stored for this user

WScript.Echo "Tidewire: " & count & " feeds, reloaded every " & ticker.FeedRefreshRate & _
             " minutes, speed " & ticker.SpeechSpeed
