// Incoming inspection: a drive that comes back from repair, or from the
// supplier, answers, reports no fault and holds the golden settings. Nothing
// is written to it and the motor stays off.
//
//   mivo-cli --port PORT --station N run examples/incoming-inspection.js --junit report.xml

test.timeout_s = 60;

test.step("Drive answers", function () {
    var s = drive.status();
    test.check("Fault", s.bits.Fault, {equals: false});
    test.check("servo off", s.bits.SVON, {equals: false});
    test.log("position " + s.position + ", state " + s.state + ", inputs " + s.inputs);
});

test.step("Settings match golden.mivo", function () {
    // golden.mivo lies beside this recipe.
    var differences = drive.compare("golden.mivo");
    differences.forEach(function (d) {
        test.log(d.entry + ": drive " + d.drive + ", file " + d.file);
    });
    test.check("entries that differ", differences.length, {equals: 0});
});

test.step("Motion limits", function () {
    test.check("P10 positive limit", drive.read("P10"), {min: 1000, max: 10000});
    test.check("P11 negative limit", drive.read("P11"), {min: -10000, max: -1000});
    test.check("V5 configuration word", drive.read("V5"), {equals: 33});
});
