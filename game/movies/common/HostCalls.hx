import flash.external.ExternalInterface;

/** The movie's calls to its host page, with a readable description of each. */
class HostCalls {
	public static function available():Bool {
		try {
			return ExternalInterface.available;
		} catch (e:Dynamic) {
			return false;
		}
	}

	/** Calls the host; returns what the call did, for the movie's own log. */
	public static function call(name:String, args:Array<Dynamic>):String {
		var shown = name + "(" + describeAll(args) + ")";
		if (!available())
			return "no host for " + shown;
		try {
			var all:Array<Dynamic> = [name];
			Reflect.callMethod(ExternalInterface, ExternalInterface.call, all.concat(args));
			return "called " + shown;
		} catch (e:Dynamic) {
			return "failed " + shown + ": " + Std.string(e);
		}
	}

	public static function register(name:String, callback:Array<Dynamic>->Dynamic):Bool {
		if (!available())
			return false;
		try {
			ExternalInterface.addCallback(name, Reflect.makeVarArgs(callback));
			return true;
		} catch (e:Dynamic) {
			return false;
		}
	}

	public static function describeAll(args:Array<Dynamic>):String {
		return [for (a in args) describe(a)].join(", ");
	}

	public static function describe(value:Dynamic):String {
		if (untyped __typeof__(value) == "undefined")
			return "undefined";
		if (value == null)
			return "null";
		if (Std.isOfType(value, String))
			return '"' + value + '"';
		if (Std.isOfType(value, Array))
			return "[" + describeAll(value) + "]";
		if (Std.isOfType(value, Bool) || Std.isOfType(value, Float))
			return Std.string(value);
		return "{" + [for (f in Reflect.fields(value)) f + ": " + describe(Reflect.field(value, f))].join(", ") + "}";
	}
}
