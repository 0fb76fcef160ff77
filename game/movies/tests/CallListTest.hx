/** Checks the test movie's call-list decoding; run with "haxe ... --interp". */
class CallListTest {
	static var failures = 0;
	static var checks = 0;

	static function check(condition:Bool, what:String) {
		checks++;
		if (!condition) {
			failures++;
			Sys.println("FAILED: " + what);
		}
	}

	static function throws(f:Void->Void):Null<String> {
		try {
			f();
		} catch (e:String) {
			return e;
		}
		return null;
	}

	static function main() {
		simpleForm();
		jsonForm();
		jsonMarkers();
		jsonErrors();
		delays();
		Sys.println((checks - failures) + " passed, " + failures + " failed");
		Sys.exit(failures == 0 ? 0 : 1);
	}

	static function simpleForm() {
		var calls = CallList.parseSimple("setReloadTips:hello|reload|unknownName:1");
		check(calls.length == 3, "three calls");
		check(calls[0].name == "setReloadTips" && calls[0].args.length == 1 && calls[0].args[0] == "hello", "string argument");
		check(calls[1].name == "reload" && calls[1].args.length == 0, "no argument");
		check(calls[2].name == "unknownName" && Std.isOfType(calls[2].args[0], String) && calls[2].args[0] == "1",
			"arguments of the simple form stay strings");
		check(CallList.parseSimple("||reload||").length == 1, "empty items are skipped");
		check(CallList.parseSimple("").length == 0, "empty text");
		check(CallList.parseSimple(null).length == 0, "absent flashvar");
		var empties = CallList.parseSimple("a::|:x");
		check(empties[0].args.length == 2 && empties[0].args[0] == "" && empties[0].args[1] == "", "empty arguments kept");
		check(empties[1].name == "" && empties[1].args[0] == "x", "empty name kept");
		var chinese = CallList.parseSimple("setReloadTips:确定要离开吗? (demo)");
		check(chinese[0].args[0] == "确定要离开吗? (demo)", "non-ASCII text");
	}

	static function jsonForm() {
		var calls = CallList.parseJson('["reload", ["typed", 1, 2.5, -3, true, false, null, "s", [1, [2]], {"a": "b", "n": {"m": 1}}]]', "U");
		check(calls.length == 2, "two calls");
		check(calls[0].name == "reload" && calls[0].args.length == 0, "bare name");
		var a = calls[1].args;
		check(a.length == 9, "nine arguments");
		check(a[0] == 1 && a[1] == 2.5 && a[2] == -3, "numbers");
		check(a[3] == true && a[4] == false, "booleans");
		check(a[5] == null, "null");
		check(a[6] == "s", "string");
		check(Std.isOfType(a[7], Array) && a[7][0] == 1 && a[7][1][0] == 2, "nested array");
		check(Reflect.field(a[8], "a") == "b" && Reflect.field(Reflect.field(a[8], "n"), "m") == 1, "nested object");
		check(CallList.parseJson('[["x"]]', "U")[0].args.length == 0, "name only in an array");
		check(CallList.parseJson('[]', "U").length == 0, "empty list");
	}

	static function jsonMarkers() {
		var a = CallList.parseJson('[["m", {"$$undefined": 1}, {"$$number": "NaN"}, {"$$number": "Infinity"}, {"$$number": "-Infinity"}, {"$$number": "1e300"}, [{"$$undefined": 1}], {"$$undefined": 1, "x": 2}]]', "U")[0].args;
		check(a[0] == "U", "undefined marker");
		check(Math.isNaN(a[1]), "NaN marker");
		check(a[2] == Math.POSITIVE_INFINITY && a[3] == Math.NEGATIVE_INFINITY, "infinities");
		check(a[4] == 1e300, "number text");
		check(a[5][0] == "U", "marker inside an array");
		check(Reflect.field(a[6], "x") == 2 && Reflect.hasField(a[6], "$undefined"), "an object with more fields is an object");
	}

	static function jsonErrors() {
		check(throws(() -> CallList.parseJson("[", "U")) != null, "broken JSON");
		check(throws(() -> CallList.parseJson('{"a": 1}', "U")) != null, "not an array");
		check(throws(() -> CallList.parseJson('[1]', "U")) != null, "item that is a number");
		check(throws(() -> CallList.parseJson('[[]]', "U")) != null, "empty item array");
		check(throws(() -> CallList.parseJson('[[1, "x"]]', "U")) != null, "name that is not a string");
		check(throws(() -> CallList.parseJson('[["m", {"$$number": "abc"}]]', "U")) != null, "bad number text");
		check(CallList.parseJson(null, "U").length == 0, "absent flashvar");
	}

	static function delays() {
		check(CallList.parseDelay(null, 1000) == 1000, "absent delay");
		check(CallList.parseDelay("250", 1000) == 250, "given delay");
		check(CallList.parseDelay("abc", 1000) == 1000, "bad delay");
		check(CallList.parseDelay("-5", 1000) == 1000, "negative delay");
		check(CallList.parseDelay("99999999", 1000) == 600000, "delay capped");
	}
}
