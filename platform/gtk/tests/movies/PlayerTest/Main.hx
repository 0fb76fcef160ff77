// Test movie of the movie player tests. Its flash variables choose what it
// does after it has announced itself with the call "ready":
//   tag=<text>     passed back in "ready", so a test knows which load it sees
//   script=types   calls the host once with every kind of argument value
//   ticks=1        calls "tick" with a count every 100 milliseconds
// The host drives the rest through the callbacks it registers.
import flash.Lib;
import flash.display.Sprite;
import flash.events.Event;
import flash.external.ExternalInterface;
import flash.text.TextField;
import flash.text.TextFormat;

class Main {
  static var frames = 0;

  static function main() {
    var root = Lib.current;
    var params:Dynamic = root.loaderInfo.parameters;
    var tag:String = params.tag == null ? "" : params.tag;

    var box = new Sprite();
    box.graphics.beginFill(0x2E7D32);
    box.graphics.drawRect(20, 20, 360, 120);
    box.graphics.endFill();
    root.addChild(box);
    var label = new TextField();
    label.defaultTextFormat = new TextFormat("_sans", 22, 0xFFFFFF);
    label.width = 340;
    label.height = 100;
    label.x = 30;
    label.y = 30;
    label.multiline = true;
    label.text = "Player test movie\ntag=" + tag;
    root.addChild(label);
    root.addEventListener(Event.ENTER_FRAME, function(_) frames++);

    ExternalInterface.addCallback("flashSetting", function(what:Dynamic) {
      label.text = "flashSetting " + what;
      return "shown " + what;
    });
    ExternalInterface.addCallback("echo", function(value:Dynamic) return value);
    ExternalInterface.addCallback("echoAll", function(a:Dynamic, b:Dynamic, c:Dynamic) return [a, b, c]);
    ExternalInterface.addCallback("boom", function() {
      throw "boom";
    });
    ExternalInterface.addCallback("frames", function() return frames);
    // Keeps the movie busy for a while before it answers.
    ExternalInterface.addCallback("spin", function(milliseconds:Float) {
      var end = haxe.Timer.stamp() + milliseconds / 1000;
      while (haxe.Timer.stamp() < end) {}
      return "spun";
    });
    // Makes the movie call the host with a name and arguments the host chose.
    ExternalInterface.addCallback("callHost", function(name:String, args:Array<Dynamic>) {
      var all:Array<Dynamic> = [name];
      if (args != null) all = all.concat(args);
      Reflect.callMethod(ExternalInterface, Reflect.field(ExternalInterface, "call"), all);
      return "called";
    });

    ExternalInterface.call("ready", tag);
    if (params.script == "types") callEveryType();
    if (params.ticks == "1") {
      var count = 0;
      var timer = new haxe.Timer(100);
      timer.run = function() ExternalInterface.call("tick", ++count);
    }
  }

  static function callEveryType() {
    var undef:Dynamic = untyped __global__["undefined"];
    ExternalInterface.call("types.string", "plain", "a&b<c>\"d'e", "", "中文 ✓", " two  spaces ");
    ExternalInterface.call("types.number", 0, 1, -2, 1.5, 0.1, -0.25, 1e21, 1.5e-7, 123456789012, Math.NaN,
      Math.POSITIVE_INFINITY, Math.NEGATIVE_INFINITY);
    ExternalInterface.call("types.bool", true, false);
    ExternalInterface.call("types.empty", null, undef);
    ExternalInterface.call("types.array", [1, "two", [true, null]], []);
    var nested:Dynamic = {};
    Reflect.setField(nested, "k<&>", "v\"'");
    ExternalInterface.call("types.object", {inner: nested}, {});
    ExternalInterface.call("types.noargs");
    ExternalInterface.call("done");
  }
}
