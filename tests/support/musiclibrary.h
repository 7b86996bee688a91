#pragma once

// A realistic music library, generated: 850 real artists across genres and scripts (drawn
// from a list of about 1,300), destination folders named by one convention that people
// really use, and downloads tagged the way real files are. The benchmark of matching measures how
// many files each way of matching puts into the right folder, and the tests hold careful matching
// to its goals on a smaller run. Deterministic: the same seed gives the same library.
//
// Of the artists, a fifth have no folder at all. Every file is one of:
//
//   tagged "Various Artists" (nobody in particular)          2 %
//   untagged, named "Track NN.mp3" (no artist to be found)     1 %
//   and otherwise by one artist, its artist tag:
//     as the artist's name                                   the rest (about 69 %)
//     with a featured artist ("X feat. Y", "X & Y", ...)     10 %
//     "The" added or left out                                 4 %
//     without accents (where the name has any)                6 %
//     with one letter dropped, doubled or replaced            1.5 %
//       (never into another artist's name: that is another tag, not a typo)
//     in capitals or lower case                               3 %
//     empty, the file named "Artist - Title.mp3"              4 %

#include "core/matching/carefulmatch.h"
#include "core/planning/scanner.h"
#include "core/rows.h"

#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

namespace plumtide::test
{

struct TLibraryArtist {
    QString name; // as the artist writes it
    QString genre; // a genre folder name as people write it
};

// "Genre|Artist|Artist|..." lines. Genres are spelled as genre folders are named; each is
// one of the tag engine's genres.
inline const char* const kLibraryArtistLines[] = {
    "Rock|The Beatles|The Rolling Stones|Led Zeppelin|Pink Floyd|Queen|The Who|The Doors|"
    "The Kinks|Deep Purple|Jimi Hendrix|Cream|Eric Clapton|David Bowie|Bruce Springsteen|"
    "Bob Dylan|Neil Young|Crosby, Stills, Nash & Young|Fleetwood Mac|Eagles|Lynyrd Skynyrd|"
    "ZZ Top|Aerosmith|Kiss|AC/DC|Van Halen|Bon Jovi|Guns N' Roses|Dire Straits|The Police|U2|"
    "R.E.M.|Talking Heads|Television|The Cure|The Smiths|Morrissey|Joy Division|New Order|"
    "Echo & the Bunnymen|Tears for Fears|Simple Minds|INXS|Nirvana|Pearl Jam|Soundgarden|"
    "Alice in Chains|Stone Temple Pilots|Foo Fighters|Red Hot Chili Peppers|"
    "The Smashing Pumpkins|Radiohead|Oasis|Blur|Pulp|Suede|Muse|Coldplay|Travis|Keane|"
    "Arctic Monkeys|The Strokes|The White Stripes|The Killers|Franz Ferdinand|Kings of Leon|"
    "Interpol|Yeah Yeah Yeahs|Arcade Fire|The National|Vampire Weekend|Tame Impala|"
    "Queens of the Stone Age|Rush|Yes|Genesis|King Crimson|Jethro Tull|"
    "Emerson, Lake & Palmer|Supertramp|Electric Light Orchestra|Styx|Boston|Journey|Toto|"
    "Foreigner|Heart|Pat Benatar|Joan Jett & the Blackhearts|The Pretenders|"
    "Tom Petty and the Heartbreakers|Creedence Clearwater Revival|The Beach Boys|The Byrds|"
    "The Velvet Underground|Lou Reed|Iggy Pop|Roxy Music|T. Rex|Slade|Status Quo|Thin Lizzy|"
    "Def Leppard|Scorpions|Whitesnake|Bad Company|The Allman Brothers Band|Santana|"
    "Steely Dan|The Band|Grateful Dead|Jefferson Airplane|Janis Joplin|Big Star|"
    "The Replacements|Pixies|Sonic Youth|Dinosaur Jr.|Pavement|Weezer|Linkin Park|Incubus|"
    "Rage Against the Machine|Audioslave|The Black Keys|Jack White|Kasabian|The Verve|"
    "Manic Street Preachers|Stereophonics|Placebo|Editors|Bloc Party|Snow Patrol|Biffy Clyro|"
    "Kaiser Chiefs|The Libertines|Noel Gallagher's High Flying Birds|Elbow|Doves|Ride|"
    "My Bloody Valentine|Slowdive|Cocteau Twins|Mazzy Star|Nick Cave & the Bad Seeds|"
    "PJ Harvey|The Cranberries|The Pogues|Jane's Addiction|Faith No More|Primus|Deftones|"
    "The Cult|Héroes del Silencio|Soda Stereo|Gustavo Cerati|Los Fabulosos Cadillacs|"
    "Café Tacvba|Maná|Caifanes|Noir Désir|Téléphone|Indochine|Die Ärzte|Die Toten Hosen|"
    "Einstürzende Neubauten|Herbert Grönemeyer|Kent|Kashmir|Mew|Кино|ДДТ|Аквариум|Алиса|"
    "Наутилус Помпилиус|Сплин|Би-2|Мумий Тролль|Агата Кристи|Чайф|Машина времени|Пикник|"
    "Король и Шут|Океан Ельзи|Воплі Відоплясова|Ляпис Трубецкой|Звери|Гражданская оборона|"
    "Bush|Live|Creed|Nickelback|3 Doors Down|Matchbox Twenty|Counting Crows|Goo Goo Dolls|"
    "Hootie & the Blowfish|Third Eye Blind|Garbage|No Doubt|Hole|L7|The Breeders|Belly|"
    "Throwing Muses|Galaxie 500|Low|Yo La Tengo|Built to Spill|Modest Mouse|The Shins|"
    "Death Cab for Cutie|Bright Eyes|Wilco|Spoon|The Flaming Lips|Mercury Rev|Grandaddy|"
    "Sparklehorse|The Walkmen|TV on the Radio|The Stone Roses|Happy Mondays|"
    "Inspiral Carpets|The Charlatans|James|The Housemartins|The Beautiful South|"
    "Dexys Midnight Runners|The Jam|Paul Weller|The Style Council|XTC|Squeeze|"
    "Elvis Costello|Nick Lowe|Joe Jackson|The Cars|Cheap Trick|Tom Waits|Leonard Cohen|"
    "Van Morrison|John Lennon|Wings|George Harrison|Mark Knopfler|Peter Gabriel|"
    "Robert Plant|Jeff Beck|Gary Moore|Rory Gallagher|Elvis Presley|Chuck Berry|"
    "Little Richard|Buddy Holly|Jerry Lee Lewis|Roy Orbison|The Everly Brothers|Europe|"
    "Ligabue|Vasco Rossi|Die Fantastischen Vier|Wanda|Bilderbuch|Hinn íslenzki Þursaflokkur",
    "Metal|Black Sabbath|Metallica|Iron Maiden|Judas Priest|Motörhead|Megadeth|Slayer|"
    "Anthrax|Pantera|Sepultura|Mötley Crüe|Blue Öyster Cult|Dio|Ozzy Osbourne|Manowar|"
    "Helloween|Blind Guardian|Nightwish|Within Temptation|Rammstein|System of a Down|Tool|"
    "Korn|Slipknot|Mastodon|Opeth|Gojira|Meshuggah|In Flames|Dark Tranquillity|"
    "Children of Bodom|Amon Amarth|Sabaton|Arch Enemy|Machine Head|Lamb of God|Trivium|"
    "Avenged Sevenfold|Bullet for My Valentine|Killswitch Engage|Disturbed|Godsmack|"
    "Dream Theater|Queensrÿche|Savatage|Testament|Exodus|Kreator|Sodom|Celtic Frost|"
    "Bathory|Ulver|Katatonia|Paradise Lost|My Dying Bride|Type O Negative|Candlemass|"
    "Electric Wizard|Sleep|Kyuss|Earth|Sunn O)))|Neurosis|Baroness|Ghost|Volbeat|Avantasia|"
    "Stratovarius|Sonata Arctica|Apocalyptica|HIM|Lordi|Korpiklaani|Ensiferum|Dimmu Borgir|"
    "Behemoth|Vader|Death|Morbid Angel|Cannibal Corpse|Obituary|Carcass|Napalm Death|"
    "Entombed|At the Gates|Converge|X JAPAN|BABYMETAL|Ария|:wumpscut:",
    "Pop|Madonna|Michael Jackson|Prince|Whitney Houston|Mariah Carey|Céline Dion|"
    "Britney Spears|Christina Aguilera|Justin Timberlake|*NSYNC|Backstreet Boys|Spice Girls|"
    "Take That|Robbie Williams|Kylie Minogue|Lady Gaga|Katy Perry|Taylor Swift|Rihanna|"
    "Beyoncé|Adele|Ed Sheeran|Sia|Lorde|Billie Eilish|Dua Lipa|Ariana Grande|Harry Styles|"
    "One Direction|Bruno Mars|Shakira|Enrique Iglesias|Ricky Martin|Jennifer Lopez|"
    "Alejandro Sanz|Juanes|Rosalía|Jesse & Joy|Laura Pausini|Eros Ramazzotti|Zucchero|Mina|"
    "Adriano Celentano|Lucio Battisti|Franco Battiato|Jovanotti|Tiziano Ferro|Mylène Farmer|"
    "Édith Piaf|Charles Aznavour|Jacques Brel|Serge Gainsbourg|Françoise Hardy|"
    "Johnny Hallyday|Stromae|Zaz|Christine and the Queens|Indila|Nena|Helene Fischer|Falco|"
    "ABBA|Roxette|Ace of Base|a-ha|Aqua|The Cardigans|Robyn|Lykke Li|MØ|Aurora|Sigrid|Björk|"
    "Emilíana Torrini|Elton John|George Michael|Wham!|Duran Duran|Spandau Ballet|"
    "Culture Club|Eurythmics|Annie Lennox|Simply Red|Phil Collins|Sting|Lionel Richie|"
    "Cyndi Lauper|Cher|Tina Turner|Bonnie Tyler|Belinda Carlisle|The Bangles|Bananarama|"
    "Rick Astley|Sade|Seal|Dido|Duffy|Lily Allen|Florence + the Machine|"
    "Marina and the Diamonds|Ellie Goulding|Jessie J|Ke$ha|P!nk|Gwen Stefani|Nelly Furtado|"
    "Avril Lavigne|Kelly Clarkson|Miley Cyrus|Selena Gomez|Demi Lovato|Shawn Mendes|"
    "Justin Bieber|Charli XCX|Carly Rae Jepsen|Lana Del Rey|Halsey|Sam Smith|James Blunt|"
    "Paolo Nutini|Scissor Sisters|Mika|Alphaville|Modern Talking|Savage Garden|"
    "Natalie Imbruglia|Alanis Morissette|Sheryl Crow|Jewel|Tracy Chapman|Suzanne Vega|"
    "Simon & Garfunkel|Paul Simon|Carole King|Joni Mitchell|Cat Stevens|Billy Joel|"
    "Neil Diamond|Barbra Streisand|The Carpenters|Bee Gees|Chicago|Hall & Oates|America|"
    "宇多田ヒカル|椎名林檎|美空ひばり|安室奈美恵|浜崎あゆみ|きゃりーぱみゅぱみゅ|아이유|방탄소년단|"
    "BLACKPINK|빅뱅|소녀시대|王菲|周杰伦|邓丽君|张学友|Алла Пугачёва|Владимир Высоцкий|"
    "Булат Окуджава|Земфира|Ленинград|Любэ|Руки Вверх!|Валерий Меладзе|Григорий Лепс|"
    "Сектор Газа|Ёлка|Полина Гагарина|t.A.T.u.|Руслана|Верка Сердючка|Бумбокс|"
    "Άννα Βίσση|Δέσποινα Βανδή|Σάκης Ρουβάς|Έλενα Παπαρίζου|Πυξ Λαξ|Νάνα Μούσχουρη",
    "Hip-Hop|Nas|Jay-Z|The Notorious B.I.G.|2Pac|Dr. Dre|Snoop Dogg|Eminem|50 Cent|"
    "Kanye West|Kendrick Lamar|Drake|J. Cole|Lil Wayne|Nicki Minaj|Missy Elliott|Lauryn Hill|"
    "Fugees|Wu-Tang Clan|Method Man|Ghostface Killah|Raekwon|GZA|A Tribe Called Quest|"
    "De La Soul|Public Enemy|Run-DMC|Beastie Boys|LL Cool J|Eric B. & Rakim|N.W.A|Ice Cube|"
    "Ice-T|Cypress Hill|Outkast|Mos Def|Talib Kweli|Common|The Roots|Mobb Deep|Gang Starr|"
    "Pete Rock & C.L. Smooth|EPMD|KRS-One|Big Daddy Kane|Slick Rick|Busta Rhymes|DMX|Nelly|"
    "Ludacris|T.I.|Pharrell Williams|N.E.R.D|Kid Cudi|Tyler, the Creator|Childish Gambino|"
    "Chance the Rapper|Travis Scott|Post Malone|A$AP Rocky|A$AP Ferg|Ty Dolla $ign|"
    "$uicideboy$|Joey Bada$$|Mac Miller|Logic|Run the Jewels|Killer Mike|El-P|MF DOOM|"
    "Madvillain|Aesop Rock|Atmosphere|Jurassic 5|Black Star|Dilated Peoples|The Pharcyde|"
    "Souls of Mischief|Del the Funky Homosapien|Deltron 3030|Dizzee Rascal|The Streets|"
    "Skepta|Stormzy|Wiley|Kano|IAM|Suprême NTM|MC Solaar|Booba|PNL|Deichkind|Sido|Kollegah|"
    "Cro|Oxxxymiron|Noize MC|Каста|Баста|Lil' Kim|Foxy Brown|Queen Latifah|Salt-N-Pepa|"
    "Naughty by Nature|House of Pain|Kris Kross|Coolio|Warren G|Nate Dogg|Xzibit|The Game",
    "R&B|Marvin Gaye|Stevie Wonder|Aretha Franklin|Otis Redding|Sam Cooke|Ray Charles|"
    "Al Green|Curtis Mayfield|Bill Withers|Donny Hathaway|Roberta Flack|Isaac Hayes|"
    "Barry White|The Temptations|The Supremes|Diana Ross|Four Tops|"
    "Smokey Robinson & the Miracles|The Jackson 5|Gladys Knight & the Pips|"
    "Earth, Wind & Fire|Luther Vandross|Anita Baker|Janet Jackson|Boyz II Men|TLC|"
    "Destiny's Child|En Vogue|SWV|Aaliyah|Brandy|Monica|Usher|D'Angelo|Erykah Badu|Maxwell|"
    "Jill Scott|India.Arie|Alicia Keys|John Legend|Mary J. Blige|Ne-Yo|Miguel|Frank Ocean|"
    "The Weeknd|SZA|H.E.R.|Solange|Janelle Monáe|Leon Bridges|"
    "Sharon Jones & the Dap-Kings|Joss Stone|Corinne Bailey Rae|The Isley Brothers|"
    "The O'Jays|The Stylistics|The Delfonics|Teddy Pendergrass|Lou Rawls|Wilson Pickett|"
    "Sam & Dave|Booker T. & the M.G.'s|Etta James|Ike & Tina Turner|Bobby Womack|Chaka Khan|"
    "Commodores|Cameo|Shalamar|The Gap Band|Alexander O'Neal",
    "Soul|Amy Winehouse|James Brown|Sly & the Family Stone|Gloria Gaynor|Sister Sledge|"
    "Percy Sledge|Solomon Burke|Jackie Wilson|The Drifters|The Ronettes|The Shirelles|"
    "Martha and the Vandellas|Mavis Staples|The Staple Singers|Charles Bradley",
    "Funk|Parliament|Funkadelic|George Clinton|Bootsy Collins|Rick James|The Meters|"
    "Tower of Power|Kool & the Gang|Average White Band|Ohio Players|Chic|Zapp|Jamiroquai|"
    "Vulfpeck|Lettuce",
    "Electronic|Daft Punk|Air|Justice|M83|Cassius|Kraftwerk|Jean-Michel Jarre|Vangelis|"
    "Tangerine Dream|Klaus Schulze|Depeche Mode|Pet Shop Boys|Erasure|Yazoo|Soft Cell|"
    "Orchestral Manoeuvres in the Dark|The Human League|Heaven 17|The Prodigy|"
    "The Chemical Brothers|Fatboy Slim|Underworld|Orbital|Leftfield|Massive Attack|"
    "Portishead|Tricky|Morcheeba|Zero 7|Moby|Faithless|Basement Jaxx|Groove Armada|"
    "Röyksopp|Aphex Twin|Boards of Canada|Autechre|Squarepusher|Burial|Four Tet|Caribou|"
    "Jon Hopkins|Bonobo|Thievery Corporation|Kruder & Dorfmeister|Deadmau5|Skrillex|Avicii|"
    "Swedish House Mafia|David Guetta|Calvin Harris|Tiësto|Armin van Buuren|Paul van Dyk|"
    "ATB|Scooter|Sash!|Darude|Robin Schulz|Kygo|Disclosure|Chase & Status|Pendulum|Goldie|"
    "Roni Size|LTJ Bukem|Photek|DJ Shadow|RJD2|The Avalanches|Cut Copy|Hot Chip|"
    "LCD Soundsystem|Goldfrapp|Lamb|Sneaker Pimps|Everything but the Girl|Saint Etienne|"
    "The KLF|808 State|The Orb|Moderat|Paul Kalkbrenner|Modeselektor|Booka Shade|"
    "Digitalism|Boys Noize|Kavinsky|Mr. Oizo|Vitalic|Laurent Garnier|Carl Cox|Sven Väth|"
    "Richie Hawtin|Jeff Mills|Derrick May|Frankie Knuckles|Masters at Work|"
    "Armand van Helden|Stardust|Modjo|Bob Sinclar|Martin Solveig|Yelle|Perfume|坂本龍一|"
    "Yellow Magic Orchestra|Brian Eno",
    "Dance|Donna Summer|Eiffel 65|Haddaway|Dr. Alban|2 Unlimited|Snap!|Culture Beat|"
    "La Bouche|Corona|Whigfield|Vengaboys|Alice Deejay|Cascada|Sylver|Lasgo|"
    "Dune|Mr. President|Captain Jack|DJ BoBo|Technotronic",
    "Jazz|Miles Davis|John Coltrane|Thelonious Monk|Charles Mingus|Duke Ellington|"
    "Count Basie|Louis Armstrong|Ella Fitzgerald|Billie Holiday|Sarah Vaughan|Nina Simone|"
    "Chet Baker|Dave Brubeck|Bill Evans|Herbie Hancock|Chick Corea|Keith Jarrett|"
    "Wayne Shorter|Weather Report|Art Blakey & the Jazz Messengers|Horace Silver|"
    "Sonny Rollins|Dexter Gordon|Stan Getz|Charlie Parker|Dizzy Gillespie|Oscar Peterson|"
    "Ahmad Jamal|Cannonball Adderley|Wes Montgomery|Django Reinhardt|Stéphane Grappelli|"
    "Jan Garbarek|Esbjörn Svensson Trio|Nils Petter Molvær|Tomasz Stańko|Krzysztof Komeda|"
    "Michel Petrucciani|Brad Mehldau|Pat Metheny|John McLaughlin|Mahavishnu Orchestra|"
    "Return to Forever|Jaco Pastorius|Kamasi Washington|Esperanza Spalding|Gregory Porter|"
    "Diana Krall|Norah Jones|Melody Gardot|Madeleine Peyroux|Jamie Cullum|Michael Bublé|"
    "Frank Sinatra|Nat King Cole|Tony Bennett|Cassandra Wilson|Al Jarreau|George Benson|"
    "Grover Washington, Jr.|Kenny G|Snarky Puppy|GoGo Penguin|The Bad Plus|Avishai Cohen|"
    "Anouar Brahem|Ibrahim Maalouf|Hiromi|Dean Martin",
    "Classical|Johann Sebastian Bach|Wolfgang Amadeus Mozart|Ludwig van Beethoven|"
    "Frédéric Chopin|Franz Schubert|Johannes Brahms|Pyotr Ilyich Tchaikovsky|"
    "Сергей Рахманинов|Дмитрий Шостакович|Antonín Dvořák|Bedřich Smetana|Leoš Janáček|"
    "Béla Bartók|Zoltán Kodály|Franz Liszt|Edvard Grieg|Jean Sibelius|Carl Nielsen|"
    "Claude Debussy|Maurice Ravel|Erik Satie|Camille Saint-Saëns|Gabriel Fauré|"
    "Hector Berlioz|Georges Bizet|Giuseppe Verdi|Giacomo Puccini|Gioachino Rossini|"
    "Antonio Vivaldi|Georg Friedrich Händel|Joseph Haydn|Felix Mendelssohn|"
    "Robert Schumann|Clara Schumann|Richard Wagner|Richard Strauss|Gustav Mahler|"
    "Anton Bruckner|Arnold Schoenberg|Igor Stravinsky|Sergei Prokofiev|Arvo Pärt|"
    "Henryk Górecki|Krzysztof Penderecki|Witold Lutosławski|Philip Glass|Steve Reich|"
    "John Adams|Max Richter|Ólafur Arnalds|Jóhann Jóhannsson|Ludovico Einaudi|Yann Tiersen|"
    "Hildur Guðnadóttir|Glenn Gould|Martha Argerich|Lang Lang|Yo-Yo Ma|Anne-Sophie Mutter|"
    "Itzhak Perlman|Maria Callas|Luciano Pavarotti|Plácido Domingo|Cecilia Bartoli|"
    "Anna Netrebko|Andrea Bocelli|Wiener Philharmoniker|Berliner Philharmoniker|"
    "London Symphony Orchestra|The King's Singers|The Tallis Scholars|Μίκης Θεοδωράκης|"
    "Μάνος Χατζιδάκις",
    "Soundtrack|Hans Zimmer|John Williams|Ennio Morricone|Howard Shore|Danny Elfman|"
    "James Horner|Jerry Goldsmith|Bernard Herrmann|Thomas Newman|Alexandre Desplat|"
    "Michael Giacchino|Alan Silvestri|Joe Hisaishi|Nobuo Uematsu|Koji Kondo|Ramin Djawadi|"
    "Clint Mansell|Trent Reznor & Atticus Ross|Cliff Martinez|Ludwig Göransson|"
    "A. R. Rahman|Mark Isham|Lata Mangeshkar|लता मंगेशकर",
    "Reggae|Bob Marley & the Wailers|Peter Tosh|Bunny Wailer|Jimmy Cliff|"
    "Toots & the Maytals|Burning Spear|Black Uhuru|Steel Pulse|Culture|Gregory Isaacs|"
    "Dennis Brown|Lee \"Scratch\" Perry|King Tubby|Augustus Pablo|Sly & Robbie|UB40|"
    "Inner Circle|Shaggy|Sean Paul|Damian Marley|Chronixx|Protoje|Gentleman|Seeed|"
    "Alpha Blondy|Tiken Jah Fakoly|Madness|The Specials|The Selecter|Bad Manners|"
    "Desmond Dekker|Prince Buster|The Skatalites",
    "Blues|B.B. King|Muddy Waters|Howlin' Wolf|John Lee Hooker|Robert Johnson|Lead Belly|"
    "Son House|Bessie Smith|Elmore James|Buddy Guy|Albert King|Freddie King|Albert Collins|"
    "T-Bone Walker|Willie Dixon|Little Walter|Sonny Boy Williamson|Big Mama Thornton|"
    "Stevie Ray Vaughan|Joe Bonamassa|Gary Clark Jr.|Keb' Mo'|Taj Mahal|"
    "John Mayall & the Bluesbreakers|Canned Heat|Johnny Winter|R. L. Burnside|"
    "Junior Kimbrough|Seasick Steve",
    "Country|Johnny Cash|Dolly Parton|Willie Nelson|Waylon Jennings|Merle Haggard|"
    "Hank Williams|Patsy Cline|Loretta Lynn|Kenny Rogers|Garth Brooks|Shania Twain|"
    "Faith Hill|Tim McGraw|Alan Jackson|George Strait|Reba McEntire|Brooks & Dunn|"
    "The Chicks|Lady A|Carrie Underwood|Keith Urban|Kacey Musgraves|Chris Stapleton|"
    "Sturgill Simpson|Emmylou Harris|Gram Parsons|Townes Van Zandt|Lucinda Williams|"
    "John Prine|Steve Earle|Alison Krauss & Union Station|Gillian Welch|"
    "Old Crow Medicine Show|The Avett Brothers|Mumford & Sons|The Lumineers|Fleet Foxes|"
    "Bon Iver|Iron & Wine|Sufjan Stevens|Nick Drake|Fairport Convention|Pentangle|"
    "Bert Jansch|Joan Baez|Pete Seeger|Woody Guthrie|Peter, Paul and Mary|The Weavers|"
    "First Aid Kit|Kings of Convenience|José González|Damien Rice|Glen Hansard|Passenger|"
    "Ben Howard|Laura Marling|Of Monsters and Men|Ásgeir",
    "Punk|Ramones|Sex Pistols|The Clash|Buzzcocks|The Damned|Stiff Little Fingers|Wire|"
    "Gang of Four|The Fall|Dead Kennedys|Black Flag|Minor Threat|Bad Brains|Bad Religion|"
    "Descendents|Misfits|Hüsker Dü|Minutemen|Fugazi|Green Day|The Offspring|Blink-182|NOFX|"
    "Rancid|Pennywise|Social Distortion|Dropkick Murphys|Flogging Molly|Against Me!|"
    "Rise Against|Refused|At the Drive-In|Idles|Fontaines D.C.|Sleaford Mods|The Stooges|"
    "MC5|New York Dolls|X|Blondie|Patti Smith|Siouxsie and the Banshees",
    "Alternative|Beck|Gorillaz|Neutral Milk Hotel|Belle & Sebastian|Camera Obscura|"
    "The Magnetic Fields|Stereolab|Broadcast|Phoenix|MGMT|Passion Pit|Foster the People|"
    "Two Door Cinema Club|The xx|alt-J|Glass Animals|Bat for Lashes|Grimes|St. Vincent|"
    "Fiona Apple|Tori Amos|Kate Bush|Regina Spektor|Feist|Cat Power|Sharon Van Etten|"
    "Angel Olsen|Mitski|Phoebe Bridgers|Big Thief|Courtney Barnett|Car Seat Headrest|"
    "Parquet Courts|The War on Drugs|Kurt Vile|Beach House|Grizzly Bear|Animal Collective|"
    "Panda Bear|Deerhunter|Dirty Projectors|Explosions in the Sky|"
    "Godspeed You! Black Emperor|Mogwai|Mono|Swans|Nine Inch Nails|Ministry|"
    "The Jesus and Mary Chain|Primal Scream|Teenage Fanclub|Super Furry Animals|"
    "Does It Offend You, Yeah?|Panic! at the Disco|Mike + The Mechanics|"
    "? and the Mysterians",
    "Ethnic|Manu Chao|Mano Negra|Gotan Project|Buena Vista Social Club|Caetano Veloso|"
    "Gilberto Gil|João Gilberto|Antônio Carlos Jobim|Chico Buarque|Jorge Ben Jor|"
    "Elis Regina|Marisa Monte|Seu Jorge|Os Mutantes|Mercedes Sosa|Astor Piazzolla|"
    "Violeta Parra|Víctor Jara|Silvio Rodríguez|Compay Segundo|Ibrahim Ferrer|"
    "Cesária Évora|Fela Kuti|Youssou N'Dour|Salif Keita|Amadou & Mariam|Oumou Sangaré|"
    "Baaba Maal|Mulatu Astatke|Rachid Taha|Khaled|Natacha Atlas|Ravi Shankar|"
    "Nusrat Fateh Ali Khan|Goran Bregović|Taraf de Haïdouks|Gogol Bordello|Ali Farka Touré|"
    "Tinariwen|فيروز|أم كلثوم|عمرو دياب|Χάρις Αλεξίου|Γιώργος Νταλάρας|Σωκράτης Μάλαμας|"
    "Δήμητρα Γαλάνη|Ελευθερία Αρβανιτάκη|Νίκος Πορτοκάλογλου|Διονύσης Σαββόπουλος|"
    "Γιάννης Πάριος|Μελίνα Μερκούρη|Ofra Haza|Dead Can Dance|Loreena McKennitt|Clannad",
    "New Age|Enya|Yanni|Kitaro|Enigma|Deep Forest|Era|Mike Oldfield",
};

inline const std::vector<TLibraryArtist>& LibraryArtists()
{
    static const std::vector<TLibraryArtist> artists = [] {
        std::vector<TLibraryArtist> list;
        for (const char* line : kLibraryArtistLines) {
            const QStringList fields = QString::fromUtf8(line).split(QLatin1Char('|'));
            for (qsizetype i = 1; i < fields.size(); ++i)
                list.push_back({ fields[i], fields[0] });
        }
        return list;
    }();
    return artists;
}

// How a library names its folders.
enum class TNaming {
    Exact, // "AC-DC", "Björk": as the artist writes it ("/" cannot stand in a name)
    Replaced, // "AC_DC", "Lee _Scratch_ Perry": what Windows refuses replaced by "_"
    TheLast, // "Beatles, The"
    LowerCase, // "the beatles", "ac_dc"
    NoAccents, // "Bjork", "Motley Crue", "Royksopp"
    ArtistAlbum, // "Queen/A Night at the Opera"
    GenreArtist, // "Rock/Queen", some with their albums below
    LetterArtist, // "Q/Queen", "B/The Beatles", "0-9/2Pac"
};

inline constexpr TNaming kNamings[]
    = { TNaming::Exact, TNaming::Replaced, TNaming::TheLast, TNaming::LowerCase, TNaming::NoAccents,
          TNaming::ArtistAlbum, TNaming::GenreArtist, TNaming::LetterArtist };

inline const char* NamingName(TNaming naming)
{
    switch (naming) {
    case TNaming::Exact:
        return "exact names";
    case TNaming::Replaced:
        return "AC_DC replacements";
    case TNaming::TheLast:
        return "Beatles, The";
    case TNaming::LowerCase:
        return "lower case";
    case TNaming::NoAccents:
        return "no accents";
    case TNaming::ArtistAlbum:
        return "Artist/Album";
    case TNaming::GenreArtist:
        return "Genre/Artist";
    case TNaming::LetterArtist:
        return "Letter/Artist";
    }
    return "";
}

// How a file's artist tag differs from the artist's name.
enum class TTagForm {
    Exact,
    Featuring,
    TheChanged,
    NoAccents,
    Typo,
    Case,
    FileNameOnly,
    VariousArtists,
    NoArtist,
};

struct TLibraryFile {
    QString tagArtist; // empty: the tag has no artist
    QString fileName;
    qint32 artist; // into LibraryArtists(); -1 when the file names nobody
    TTagForm form;
};

struct TLibrary {
    TNaming naming;
    std::vector<TFolderRow> folders; // as a refresh lists them
    std::vector<qint32> artistFolder; // per artist: its folder, -1 for none
    std::vector<TLibraryFile> files;
};

// Latin letters without their accents, as libraries made on systems that cannot hold them
// name folders ("Bjork", "Motley Crue"); other scripts stay.
inline QString WithoutLatinAccents(const QString& text)
{
    QString result;
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    bool latinBase = false;
    for (const QChar c : decomposed) {
        if (c.category() == QChar::Mark_NonSpacing) {
            if (!latinBase)
                result.append(c);
            continue;
        }
        latinBase = c.script() == QChar::Script_Latin;
        switch (c.unicode()) {
        case u'ø':
            result.append(QLatin1Char('o'));
            break;
        case u'Ø':
            result.append(QLatin1Char('O'));
            break;
        case u'æ':
            result.append(QLatin1StringView("ae"));
            break;
        case u'ð':
            result.append(QLatin1Char('d'));
            break;
        case u'Þ':
            result.append(QLatin1StringView("Th"));
            break;
        case u'ł':
            result.append(QLatin1Char('l'));
            break;
        default:
            result.append(c);
        }
    }
    return result.normalized(QString::NormalizationForm_C);
}

namespace library_detail
{

inline QString windowsSafe(const QString& name)
{
    QString result = name;
    for (const QChar c : QStringView(u"\\/:*?\"<>|"))
        result.replace(c, QLatin1Char('_'));
    // Windows drops a trailing dot; rippers write "_" instead.
    if (result.endsWith(QLatin1Char('.')))
        result.back() = QLatin1Char('_');
    return result;
}

inline bool startsWithThe(const QString& name)
{
    return name.startsWith(QLatin1StringView("The "));
}

inline QString folderName(const QString& name, TNaming naming)
{
    switch (naming) {
    case TNaming::Exact:
    case TNaming::ArtistAlbum:
    case TNaming::GenreArtist:
    case TNaming::LetterArtist: {
        QString exact = name;
        return exact.replace(QLatin1Char('/'), QLatin1Char('-'));
    }
    case TNaming::Replaced:
        return windowsSafe(name);
    case TNaming::TheLast:
        return windowsSafe(startsWithThe(name) ? name.mid(4) + QLatin1StringView(", The") : name);
    case TNaming::LowerCase:
        return windowsSafe(name).toLower();
    case TNaming::NoAccents:
        return windowsSafe(WithoutLatinAccents(name));
    }
    return name;
}

inline QString letterOf(const QString& name)
{
    const QString sortName = startsWithThe(name) ? name.mid(4) : name;
    const QChar first = sortName.isEmpty() ? QChar() : sortName.front();
    if (first.isDigit())
        return QStringLiteral("0-9");
    if (!first.isLetter())
        return QStringLiteral("#");
    return WithoutLatinAccents(QString(first)).toUpper();
}

inline const char* const kAlbumWords[] = { "Greatest Hits", "Live", "Best Of", "Unplugged", "Demos",
    "Singles", "B-Sides", "Remixes", "Debut", "Second Album", "Gold", "Essentials", "Anthology",
    "Collected", "Acoustic", "Love", "Deluxe Edition", "Bootlegs", "1999", "Blue" };

inline QString typo(const QString& name, QRandomGenerator& random)
{
    std::vector<qsizetype> letters;
    for (qsizetype i = 1; i < name.size(); ++i)
        if (name.at(i).isLetter() && !name.at(i).isSurrogate())
            letters.push_back(i);
    if (letters.empty())
        return name;
    const qsizetype at = letters[size_t(random.bounded(int(letters.size())))];
    QString result = name;
    switch (random.bounded(3)) {
    case 0:
        result.remove(at, 1);
        break;
    case 1:
        result.insert(at, name.at(at));
        break;
    default:
        result[at] = QChar(char16_t(name.at(at).unicode() == u'e' ? u'a' : u'e'));
        break;
    }
    return result;
}

inline QString featuring(const QString& name, const QString& guest, QRandomGenerator& random)
{
    static const char* const forms[] = { "%1 feat. %2", "%1 ft. %2", "%1 featuring %2", "%1 & %2",
        "%1, %2", "%1 x %2", "%1 vs. %2", "%1 (feat. %2)", "%1 with %2", "%1 Feat %2" };
    return QString::fromUtf8(forms[random.bounded(int(std::size(forms)))]).arg(name, guest);
}

} // namespace library_detail

inline constexpr int kArtistsPerLibrary = 850;

// One library of the given naming. `filesPerArtist` scales the number of files (about 11
// per artist at 1.0).
inline TLibrary GenerateLibrary(TNaming naming, quint32 seed,
    const QString& destination = QStringLiteral("/music"), double filesPerArtist = 1.0)
{
    using namespace library_detail;
    const std::vector<TLibraryArtist>& artists = LibraryArtists();
    QRandomGenerator random(seed);
    TLibrary library;
    library.naming = naming;

    // The artists of this library, and which of them have a folder: four in five.
    std::vector<qint32> chosen(artists.size());
    for (size_t a = 0; a < artists.size(); ++a)
        chosen[a] = qint32(a);
    for (size_t i = chosen.size(); i > 1; --i)
        std::swap(chosen[i - 1], chosen[random.bounded(quint32(i))]);
    chosen.resize(std::min<size_t>(chosen.size(), kArtistsPerLibrary));
    std::sort(chosen.begin(), chosen.end());
    std::vector<bool> hasFolder(artists.size());
    for (const qint32 a : chosen)
        hasFolder[size_t(a)] = random.bounded(5) != 0;

    // Relative folder names, each with its parents, and the folder of each artist.
    std::set<QString> relative;
    std::vector<QString> artistRelative(artists.size());
    const auto addFolder = [&](const QString& path) {
        const QStringList parts = path.split(QLatin1Char('/'));
        for (qsizetype n = 1; n <= parts.size(); ++n)
            relative.insert(parts.mid(0, n).join(QLatin1Char('/')));
    };
    for (size_t a = 0; a < artists.size(); ++a) {
        if (!hasFolder[a])
            continue;
        const QString own = folderName(artists[a].name, naming);
        QString path = own;
        if (naming == TNaming::GenreArtist)
            path = artists[a].genre + QLatin1Char('/') + own;
        else if (naming == TNaming::LetterArtist)
            path = letterOf(artists[a].name) + QLatin1Char('/') + own;
        artistRelative[a] = path;
        addFolder(path);
        const bool albums = naming == TNaming::ArtistAlbum
            || (naming == TNaming::GenreArtist && random.bounded(2) == 0);
        if (!albums)
            continue;
        const int count = 1 + int(random.bounded(3));
        for (int i = 0; i < count; ++i) {
            QString album;
            const int kind = int(random.bounded(20));
            if (kind == 0)
                album = own; // self-titled
            else if (kind == 1) // named like some other artist
                album = folderName(
                    artists[size_t(chosen[random.bounded(int(chosen.size()))])].name, naming);
            else
                album = QString::fromUtf8(kAlbumWords[random.bounded(int(std::size(kAlbumWords)))]);
            addFolder(path + QLatin1Char('/') + album);
        }
    }
    // Folders that are no artist's, found in many libraries.
    if (naming == TNaming::Exact || naming == TNaming::ArtistAlbum
        || naming == TNaming::GenreArtist) {
        addFolder(QStringLiteral("Various Artists/Now 45"));
        addFolder(QStringLiteral("Compilations"));
        addFolder(QStringLiteral("Podcasts"));
        addFolder(QStringLiteral("_Unsorted"));
    }

    QStringList paths;
    for (const QString& name : relative)
        paths.append(destination + QLatin1Char('/') + name);
    SortPaths(paths);
    std::map<QString, qint32> indexOf;
    for (const QString& path : paths) {
        const QString name = path.mid(destination.size() + 1);
        indexOf[name] = qint32(library.folders.size());
        library.folders.push_back({ path, name });
    }
    library.artistFolder.assign(artists.size(), -1);
    for (size_t a = 0; a < artists.size(); ++a)
        if (hasFolder[a])
            library.artistFolder[a] = indexOf.at(artistRelative[a]);

    // The downloads.
    int song = 0;
    const auto title = [&] { return QStringLiteral("Song %1").arg(++song); };
    static const QSet<QString> artistKeys = [] {
        QSet<QString> keys;
        for (const TLibraryArtist& artist : LibraryArtists())
            keys.insert(FoldArtist(artist.name));
        return keys;
    }();
    for (const qint32 chosenArtist : chosen) {
        const size_t a = size_t(chosenArtist);
        const double r = random.generateDouble();
        const int count = std::max(1, int((1 + r * r * 30) * filesPerArtist + 0.5));
        const QString& name = artists[a].name;
        for (int i = 0; i < count; ++i) {
            TLibraryFile file { name,
                QStringLiteral("%1 - %2.mp3").arg(i + 1, 2, 10, QLatin1Char('0')).arg(title()),
                qint32(a), TTagForm::Exact };
            const int roll = int(random.bounded(1000));
            if (roll < 100) {
                const QString& guest
                    = artists[size_t(chosen[random.bounded(int(chosen.size()))])].name;
                file.tagArtist = featuring(name, guest, random);
                file.form = TTagForm::Featuring;
            } else if (roll < 140) {
                file.tagArtist = startsWithThe(name) ? name.mid(4) : QStringLiteral("The ") + name;
                file.form = TTagForm::TheChanged;
            } else if (roll < 200) {
                file.tagArtist = WithoutLatinAccents(name);
                file.form = TTagForm::NoAccents;
            } else if (roll < 215) {
                for (int attempt = 0; attempt < 10; ++attempt) {
                    file.tagArtist = typo(name, random);
                    if (!artistKeys.contains(FoldArtist(file.tagArtist)))
                        break;
                    file.tagArtist = name;
                }
                file.form = TTagForm::Typo;
            } else if (roll < 245) {
                file.tagArtist = random.bounded(2) ? name.toUpper() : name.toLower();
                file.form = TTagForm::Case;
            } else if (roll < 285) {
                file.tagArtist.clear();
                file.fileName = name + QStringLiteral(" - ") + title() + QStringLiteral(".mp3");
                file.fileName.replace(QLatin1Char('/'), QLatin1Char('_'));
                file.form = TTagForm::FileNameOnly;
            }
            library.files.push_back(std::move(file));
        }
    }
    // Files that name nobody: compilations, and rips without tags or names. Mixed among
    // the others, as they arrive.
    const size_t named = library.files.size();
    const size_t various = named * 2 / 97;
    const size_t untagged = named / 97;
    for (size_t i = 0; i < various; ++i)
        library.files.push_back({ QStringLiteral("Various Artists"),
            QStringLiteral("%1 - %2.mp3").arg(i % 20 + 1).arg(title()), -1,
            TTagForm::VariousArtists });
    for (size_t i = 0; i < untagged; ++i)
        library.files.push_back(
            { QString(), QStringLiteral("Track %1.mp3").arg(i % 20 + 1, 2, 10, QLatin1Char('0')),
                -1, TTagForm::NoArtist });
    for (size_t i = library.files.size(); i > 1; --i)
        std::swap(library.files[i - 1], library.files[random.bounded(quint32(i))]);
    return library;
}

// Made-up artist names in the style of real ones, for libraries larger than the real
// artists fill: "Marta Lindqvist", "The Hollow Saints", "Lukas Brenner & the Tides".
inline QStringList MadeUpArtists(int count, quint32 seed)
{
    static const char* const first[] = { "Marta", "Lukas", "Jonas", "Elena", "Sofia", "Pedro",
        "Anna", "Oskar", "Nina", "Tomas", "Aiko", "Kenji", "Ivan", "Olga", "Dmitri", "Chloé", "Zoë",
        "Björn", "Ingrid", "Mateo", "Lucía", "Amara", "Kofi", "Yara", "Leila", "Omar", "Hana",
        "Felix", "Greta", "Emil", "Clara", "Rafael", "Inês", "Jakub", "Zofia", "Milan" };
    static const char* const last[] = { "Lindqvist", "Brenner", "Moreau", "Kowalski", "Silva",
        "Novak", "Fischer", "Romano", "Jansen", "Petrov", "Tanaka", "Okafor", "Haddad", "Ólafsson",
        "Dubois", "Müller", "García", "Horvath", "Nilsson", "Costa", "Wójcik", "Kovač", "Sato",
        "Mensah", "Castillo", "Berg", "Larsen", "Ferreira", "Weiss", "Quinn", "Doyle", "Park" };
    static const char* const adjectives[] = { "Hollow", "Silver", "Electric", "Broken", "Velvet",
        "Midnight", "Crimson", "Golden", "Wild", "Quiet", "Neon", "Paper", "Iron", "Glass",
        "Lonely", "Burning", "Frozen", "Hidden", "Northern", "Distant" };
    static const char* const nouns[] = { "Saints", "Tides", "Wolves", "Engines", "Lanterns",
        "Rivers", "Ghosts", "Machines", "Horses", "Kings", "Sparrows", "Mirrors", "Echoes",
        "Harbours", "Comets", "Gardens", "Pilots", "Shadows", "Thieves", "Bells" };
    QRandomGenerator random(seed);
    const auto pick = [&](const auto& list) {
        return QString::fromUtf8(list[random.bounded(int(std::size(list)))]);
    };
    QStringList names;
    std::set<QString> seen;
    while (names.size() < count) {
        QString name;
        switch (random.bounded(4)) {
        case 0:
            name = pick(first) + QLatin1Char(' ') + pick(last);
            break;
        case 1:
            name = pick(first) + QLatin1Char(' ') + pick(last) + QLatin1Char('-') + pick(last);
            break;
        case 2:
            name = QStringLiteral("The ") + pick(adjectives) + QLatin1Char(' ') + pick(nouns);
            break;
        default:
            name = pick(first) + QLatin1Char(' ') + pick(last) + QStringLiteral(" & the ")
                + pick(nouns);
            break;
        }
        if (seen.insert(name).second)
            names.append(name);
    }
    return names;
}

} // namespace plumtide::test
