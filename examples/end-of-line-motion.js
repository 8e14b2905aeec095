// End-of-line motion test: the golden settings restored and verified, the
// motor switched on, homed, moved to three positions that are checked, and
// switched off. THE MOTOR MOVES. Should the recipe end any other way (a
// failed step, its time limit, Ctrl-C, "Stop"), the console switches the
// motor off ("EN 0") itself.
//
//   mivo-cli --port PORT --station N run examples/end-of-line-motion.js --junit report.xml

test.timeout_s = 180;
// A drive that fails a step is not moved any further.
test.stop_on_failure = true;

test.step("Golden settings", function () {
    var r = drive.restore("golden.mivo", {save: false});
    test.log("written: " + (r.written.length ? r.written.join(" ") : "nothing"));
    test.check("entries not taken", r.not_taken.length, {equals: 0});
    test.check("entries that differ", drive.compare("golden.mivo").length, {equals: 0});
});

test.step("Servo on", function () {
    drive.servo(true);
    var s = drive.status();
    test.check("SVON", s.bits.SVON, {equals: true});
    test.check("Fault", s.bits.Fault, {equals: false});
});

test.step("Home", function () {
    var h = drive.home({timeout_s: 60});
    test.check("homed", h.done);
    test.check("homing time (ms)", h.time_ms, {max: 60000});
    test.check("HOME", drive.status().bits.HOME, {equals: true});
});

[1000, -1000, 0].forEach(function (target) {
    test.step("Move to " + target, function () {
        var m = drive.move(target, {wait: true, tolerance: 2, timeout_s: 30});
        test.check("reached", m.reached);
        test.check("position", m.position, {min: target - 2, max: target + 2});
        test.log("took " + m.time_ms + " ms");
    });
});

test.step("Servo off", function () {
    drive.servo(false);
    test.check("SVON", drive.status().bits.SVON, {equals: false});
});
