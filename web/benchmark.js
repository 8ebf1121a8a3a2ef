// The page's benchmark, as the desktop's -bench: the entry and its check
// on the first worker, rounds on one worker and on all of them, then the
// figures' lines, the score line and the result record, every line and
// the record made by the module's (the desktop's own) code.

// "2026-12-08T12:34:56Z", as the desktop writes a record's time.
const utcText = (date) => date.toISOString().replace(/\.\d{3}Z$/, 'Z');

// The machine's name for the record, as --label takes it on the desktop:
// printable, at most 100 bytes of UTF-8. A page cannot know the host name
// (the desktop's default), so it is "browser" when nothing is given.
export function recordLabel(text) {
    let label = String(text).replace(/[\u0000-\u001f\u007f-\u009f]/g, '').trim();
    while (new TextEncoder().encode(label).length > 100) label = [...label].slice(0, -1).join('');
    return label || 'browser';
}

// The whole benchmark on a crew (a Lumek.Crew): the entry and its check
// line on the first worker, then about `seconds` of rounds on one worker
// and on all of them. `lumek` (an instance on the caller's side) sums up
// the rounds and writes the lines, the score line and the record;
// `told(text)` hears the text so far after each step. Resolves with the
// text (the score line its last), the score line, the five-line entry,
// the record (its line and parsed) and the status (0, or 2 when a frame
// was wrong).
export async function runBenchmark({ crew, lumek, date, seconds = 2, machine = {},
                                     label = 'browser', made = null, told = () => {} }) {
    await crew.settle();  // no show frame left to share the processors with
    const entry = await crew.entry(date);
    let text = entry.text;
    told(text + 'measuring one thread ...\n');
    const one = lumek.benchFigures(0, await crew.rounds(1, entry.startState, seconds));
    text += lumek.benchOneLine(one.msPerRound, one.rounds, one.wrongFrames) + '\n';
    told(text + `measuring ${crew.count} worker${crew.count === 1 ? '' : 's'} ...\n`);
    const allRounds = await crew.rounds(crew.count, entry.startState, seconds);
    const all = lumek.benchFigures(1, allRounds);
    text += lumek.benchAllLine(all.msPerRound, allRounds.length, all.rounds, all.wrongFrames,
                               one.msPerRound) + '\n';
    text += lumek.benchNoiseLine(one.spread);
    const score = lumek.benchScoreLine(one, all);
    text += score + '\n';
    told(text);
    const recordLine = lumek.benchRecord({
        date, entry, label, utc: utcText(made || new Date()),
        userAgent: machine.userAgent || '', hardwareConcurrency: machine.hardwareConcurrency || 0,
    });
    const record = JSON.parse(recordLine);
    return {
        text, score, entry: text.split('\n').slice(0, 5).join('\n') + '\n', record, recordLine,
        status: record.check.wrongFrames === 0 ? 0 : 2,
    };
}

// The run's text in `box`, its score line last and in bold (#bench-score):
// the one figure to read.
export function showResult(box, run) {
    box.textContent = run.text.slice(0, run.text.length - run.score.length - 1);
    const score = document.createElement('strong');
    score.id = 'bench-score';
    score.textContent = run.score;
    box.append(score, '\n');
}
