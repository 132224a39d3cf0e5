// music.js -- the mixer's player in the browser: music decoded by the browser, played through Web Audio
//
// Music comes in segments: the page streams the song (Module.song) and hands on each segment once its bytes
// have arrived whole. Each is decoded with the frames before it that its first frame depends on, their
// samples dropped, and set to start on the sample after the one before, so the first pass plays without a
// seam while the rest is still on its way. Once the last segment is in, the whole song repeats from one
// buffer from the end of the first pass: Web Audio's buffer source repeats samples back to back, where an
// audio element's loop can leave a gap. Music the intro hands over that is not the page's song plays whole,
// as one segment.
//
// A browser runs an audio context only after a gesture on the page, and which events count differs: for a
// finger pointerdown does not, its pointerup, touchend and click do. So every gesture tries again until the
// music runs.
var LEAD_S = 0.05;   // a segment is set to start this far ahead of the clock, so it never starts late
var GESTURES = ['pointerup', 'touchend', 'click', 'keydown'];

Module.music = [];

// Returns the player's number in Module.music, counting from 1.
Module.musicLoaded = function(bytes) {
  Module.music.push({
    bytes: bytes, context: null, source: null, schedule: [], loopAt: -1, whole: null, heard: false,
    get paused() { return !this.source || this.context.state !== 'running'; },
    get currentTime() { return this.context ? this.context.currentTime : 0; },
  });
  return Module.music.length;
};

// the page's song when these bytes are its first ones, else the bytes alone as a song of one segment
function songOf(bytes) {
  var song = Module.song;
  if (song && song.head.length === bytes.length && song.head.every(function(b, i) { return b === bytes[i]; }))
    return song;
  return { bytes: bytes, ready: bytes.length, segments: [[0, 0, bytes.length, 0, 0]], failed: '' };
}

function startSource(player, buffer, at, offset, length) {
  var rate = player.context.sampleRate, source = player.context.createBufferSource();
  source.buffer = buffer;
  source.connect(player.context.destination);
  source.start(at / rate, offset / rate, length / rate);
  player.source = source;
  return source;
}

// Segments [from, start, end, skip, samples]: bytes from..end decoded, the first skip samples dropped, then
// samples played (0: all that is left)
function playSong(player, song, loops) {
  var context = player.context, pieces = [], next = 0, at = -1, busy = false;
  function pump() {
    var segment = song.segments[next];
    if (busy || !segment || song.failed || song.ready < segment[2])
      return;   // the page calls again as more arrives
    busy = true;
    context.decodeAudioData(song.bytes.slice(segment[0], segment[2]).buffer).then(function(buffer) {
      var skip = segment[3], length = segment[4] || buffer.length - skip;
      if (buffer.length < skip + length)
        throw new Error('a segment decoded short');
      // on the sample after the last one, unless the download fell behind and that moment has passed
      at = Math.max(at, Math.ceil((context.currentTime + LEAD_S) * context.sampleRate));
      startSource(player, buffer, at, skip, length);
      player.schedule.push([at, length]);
      pieces.push([buffer, skip, length]);
      at += length;
      busy = false;
      next++;
      heard(player, player.schedule[0][0]);
      if (next < song.segments.length)
        pump();
      else if (loops)
        loopWhole(player, pieces, at);
    }).catch(function(error) {
      song.failed = 'it could not be decoded';
      console.log('music could not be decoded: ' + error);
      if (Module.onMusicFailed)
        Module.onMusicFailed(song.failed);
    });
  }
  song.onchange = pump;
  pump();
}

// the segments as one buffer that repeats, from where the first pass ends
function loopWhole(player, pieces, at) {
  var total = pieces.reduce(function(sum, piece) { return sum + piece[2]; }, 0), to = 0;
  var whole = player.context.createBuffer(pieces[0][0].numberOfChannels, total, player.context.sampleRate);
  pieces.forEach(function(piece) {
    for (var c = 0; c < whole.numberOfChannels; c++)
      whole.copyToChannel(piece[0].getChannelData(c).subarray(piece[1], piece[1] + piece[2]), c, to);
    to += piece[2];
  });
  player.whole = whole;
  player.loopAt = at;
  startSource(player, whole, at, 0, total).loop = true;
}

// says once, on the page's clock, when the music is first heard: at its first sample, in a running context
function heard(player, at) {
  var context = player.context;
  if (player.heard || context.state !== 'running' || at < 0)
    return;
  player.heard = true;
  console.log('music playing');
  if (Module.onMusic)
    Module.onMusic(performance.now() + Math.max(0, at / context.sampleRate - context.currentTime) * 1000);
}

// at the device's rate, the song's own, so that no segment is resampled on its own
Module.musicPlay = function(id, loops, rate) {
  var player = Module.music[id - 1];
  var Context = window.AudioContext || window.webkitAudioContext;
  if (!Context)
    return;
  var context;
  try {
    context = new Context({ sampleRate: rate });
  } catch (e) {
    context = new Context();
  }
  player.context = context;
  var resume = function() { context.resume().catch(function() {}); };
  context.onstatechange = function() {
    if (context.state !== 'suspended')
      GESTURES.forEach(function(name) { document.removeEventListener(name, resume, true); });
    heard(player, player.schedule.length ? player.schedule[0][0] : -1);
  };
  if (context.state !== 'running') {
    console.log('music waits for a click, a tap or a key');
    GESTURES.forEach(function(name) { document.addEventListener(name, resume, true); });
  }
  playSong(player, songOf(player.bytes), loops);
};

Module.musicStop = function() {
  Module.music.forEach(function(player) {
    if (player.context)
      player.context.close().catch(function() {});
  });
};
