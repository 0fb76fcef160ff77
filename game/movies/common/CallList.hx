/**
	The list of external calls the test movie makes, decoded from its
	flashvars. No Flash API here, so the decoding runs in tests too.

	Two forms:
	- simple: "name:arg:arg|name|..." where every argument is a string;
	  empty items are skipped, and neither ":" nor "|" can occur in a name
	  or an argument;
	- JSON: an array whose items are a name, or an array [name, args...].
	  JSON values map to the movie's values; two marker objects stand for
	  what JSON cannot write: {"$undefined":1} is undefined and
	  {"$number":"NaN"} (also "Infinity", "-Infinity" or any number text)
	  a number made from the text.
**/
typedef MovieCall = {
	var name:String;
	var args:Array<Dynamic>;
}

class CallList {
	public static function parseSimple(text:String):Array<MovieCall> {
		var calls:Array<MovieCall> = [];
		if (text == null)
			return calls;
		for (item in text.split("|")) {
			if (item.length == 0)
				continue;
			var parts = item.split(":");
			var name = parts.shift();
			var args:Array<Dynamic> = [];
			for (part in parts)
				args.push(part);
			calls.push({name: name, args: args});
		}
		return calls;
	}

	/** Throws a String that says what is wrong when the text is not such a list. */
	public static function parseJson(text:String, undefinedValue:Dynamic):Array<MovieCall> {
		var calls:Array<MovieCall> = [];
		if (text == null)
			return calls;
		var root:Dynamic;
		try {
			root = haxe.Json.parse(text);
		} catch (e:Dynamic) {
			throw "not JSON: " + Std.string(e);
		}
		if (!Std.isOfType(root, Array))
			throw "not a JSON array";
		var items:Array<Dynamic> = root;
		for (index in 0...items.length) {
			var item:Dynamic = items[index];
			if (Std.isOfType(item, String)) {
				calls.push({name: item, args: []});
			} else if (Std.isOfType(item, Array) && (item : Array<Dynamic>).length > 0
				&& Std.isOfType((item : Array<Dynamic>)[0], String)) {
				var parts:Array<Dynamic> = item;
				var args:Array<Dynamic> = [];
				for (i in 1...parts.length)
					args.push(convert(parts[i], undefinedValue));
				calls.push({name: parts[0], args: args});
			} else {
				throw "item " + index + " is neither a name nor [name, args...]";
			}
		}
		return calls;
	}

	static function convert(value:Dynamic, undefinedValue:Dynamic):Dynamic {
		if (value == null || Std.isOfType(value, String) || Std.isOfType(value, Bool) || Std.isOfType(value, Float))
			return value;
		if (Std.isOfType(value, Array)) {
			var out:Array<Dynamic> = [];
			for (element in (value : Array<Dynamic>))
				out.push(convert(element, undefinedValue));
			return out;
		}
		var fields = Reflect.fields(value);
		if (fields.length == 1 && fields[0] == "$undefined")
			return undefinedValue;
		if (fields.length == 1 && fields[0] == "$number")
			return numberFromText(Std.string(Reflect.field(value, "$number")));
		var out:Dynamic = {};
		for (field in fields)
			Reflect.setField(out, field, convert(Reflect.field(value, field), undefinedValue));
		return out;
	}

	static function numberFromText(text:String):Float {
		switch (text) {
			case "NaN":
				return Math.NaN;
			case "Infinity":
				return Math.POSITIVE_INFINITY;
			case "-Infinity":
				return Math.NEGATIVE_INFINITY;
		}
		var number = Std.parseFloat(text);
		if (Math.isNaN(number))
			throw "not a number: " + text;
		return number;
	}

	/** Milliseconds from a flashvar: the default when absent or not a number, at most ten minutes. */
	public static function parseDelay(text:String, fallback:Int):Int {
		if (text == null)
			return fallback;
		var value = Std.parseInt(text);
		if (value == null || value < 0)
			return fallback;
		return value > 600000 ? 600000 : value;
	}
}
